#pragma once

#include <string>
#include <string_view>

namespace bryndle {

// MD5 (RFC 1321) and Base64 (RFC 4648, standard alphabet) over OpenSSL's libcrypto.
struct Digest {
    // The 16 raw digest bytes.
    static std::string md5(std::string_view bytes);
    // 32 lower-case hexadecimal digits.
    static std::string md5Hex(std::string_view bytes);
    static std::string base64Encode(std::string_view bytes);
    // Raises Exception("base64 decode error") for text that is not Base64.
    static std::string base64Decode(std::string_view text);
};

} // namespace bryndle
