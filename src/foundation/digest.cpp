#include "foundation/digest.h"

#include "foundation/conv.h"
#include "foundation/exception.h"

#include <openssl/evp.h>

#include <memory>

namespace bryndle {

std::string Digest::md5(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr) != 1)
        throw Exception("md5 error");
    return std::string(reinterpret_cast<const char*>(digest), length);
}

std::string Digest::md5Hex(std::string_view bytes) {
    return toHex(md5(bytes));
}

std::string Digest::base64Encode(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(bytes.data()),
                            static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string Digest::base64Decode(std::string_view text) {
    std::unique_ptr<EVP_ENCODE_CTX, decltype(&EVP_ENCODE_CTX_free)> ctx(EVP_ENCODE_CTX_new(),
                                                                        EVP_ENCODE_CTX_free);
    if (!ctx)
        throw Exception("base64 decode error");
    EVP_DecodeInit(ctx.get());
    std::string out(3 * (text.size() / 4 + 1), '\0');
    auto* dst = reinterpret_cast<unsigned char*>(out.data());
    int written = 0;
    int total = 0;
    // EVP_DecodeUpdate takes an int length; feed large inputs in slices.
    const size_t slice = 1 << 24;
    for (size_t pos = 0; pos < text.size(); pos += slice) {
        size_t n = std::min(slice, text.size() - pos);
        if (EVP_DecodeUpdate(ctx.get(), dst + total, &written,
                             reinterpret_cast<const unsigned char*>(text.data() + pos),
                             static_cast<int>(n)) < 0)
            throw Exception("base64 decode error");
        total += written;
    }
    if (EVP_DecodeFinal(ctx.get(), dst + total, &written) != 1)
        throw Exception("base64 decode error");
    total += written;
    out.resize(static_cast<size_t>(total));
    return out;
}

} // namespace bryndle
