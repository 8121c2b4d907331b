// A thread list line (CSV with quoted titles) into a ThreadResponseEvent, and the CSV splitter
// against its own quoting.
#include "foundation/exception.h"
#include "foundation/unicode.h"
#include "node/csvline.h"
#include "node/threadresponseevent.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

std::string quote(const std::string& field) {
    std::string out = "\"";
    for (char c : field) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    return out + "\"";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    auto fields = bryndle::splitCsvLine(line);
    if (fields) {
        // Quoting every field and splitting again gives the same fields.
        std::string joined;
        for (size_t i = 0; i < fields->size(); ++i)
            joined += (i ? "," : "") + quote((*fields)[i]);
        auto again = bryndle::splitCsvLine(joined);
        if (!again || *again != *fields)
            std::abort();
    }
    bryndle::ThreadResponseEvent event;
    try {
        event.parse(line, {});
    } catch (const bryndle::Exception&) {
        return 0;
    }
    if (!fields || fields->size() != bryndle::ThreadResponseEvent::ColumnCount ||
        !bryndle::Unicode::isValidUtf8(event.title()) || event.title() != (*fields)[5] ||
        event.stop())
        std::abort();
    return 0;
}
