// A response's status line and header lines: the first line is the status line, every
// further line a header line.
#include "foundation/exception.h"
#include "http/httpheader.h"
#include "http/responseparser.h"
#include "http/statustext.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    bryndle::HTTPHeader header;
    size_t end = text.find('\n');
    std::string_view status = text.substr(0, end);
    try {
        bryndle::parseStatusLine(status, header);
        if (header.status() != 0 && bryndle::statusText(header.status()).empty())
            std::abort();
    } catch (const bryndle::Exception&) {
    }
    size_t lines = 0;
    while (end != std::string_view::npos) {
        size_t start = end + 1;
        end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        ++lines;
        try {
            bryndle::parseHeaderLine(line, header);
        } catch (const bryndle::Exception&) {
        }
    }
    if (header.fieldCount() > lines)
        std::abort();
    for (const auto& field : header.fields()) {
        if (header.field(field.name()) == nullptr)
            std::abort();
        if (header.fieldValue(field.name()) != field.value())
            std::abort();
    }
    if (header.toString().size() != header.length())
        std::abort();
    return 0;
}
