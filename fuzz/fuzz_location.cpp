// A shingetsu:// location into a Schema, and the location built from it back again.
#include "foundation/exception.h"
#include "foundation/unicode.h"
#include "store/schema.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// A method or target holding a separator cannot be written back as the same location.
bool writable(const std::string& piece) {
    return piece.find_first_of("/?#") == std::string::npos;
}

void check(std::string_view text) {
    bryndle::Schema schema;
    try {
        schema = bryndle::Schema::parse(text);
    } catch (const bryndle::Exception&) {
        return;
    }
    if (schema.mode > 2 || !bryndle::Unicode::isValidUtf8(schema.title))
        std::abort();
    const std::string location = schema.toLocation();
    if (location.substr(0, bryndle::Schema::Prefix.size()) != bryndle::Schema::Prefix)
        std::abort();
    if (!writable(schema.method) || !writable(schema.target))
        return;
    bryndle::Schema again = bryndle::Schema::parse(location); // must not raise
    if (again.title != schema.title || again.method != schema.method ||
        again.target != schema.target || again.mode != schema.mode || !again.fragment.empty() ||
        (schema.mode != 0 && again.items != schema.items) ||
        (schema.mode == 2 && again.page != schema.page) || again.toLocation() != location)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    check(text);
    check(std::string(bryndle::Schema::Prefix) + std::string(text));
    return 0;
}
