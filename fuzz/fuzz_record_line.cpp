// A node's record line ("stamp<>id<>key:value...") into a ThreadDataEvent.
#include "foundation/exception.h"
#include "node/threaddataevent.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    bryndle::ThreadDataEvent event;
    try {
        event.parse(line);
    } catch (const bryndle::Exception&) {
        return 0;
    }
    if (event.id().size() != bryndle::ThreadDataEvent::IdLength)
        std::abort();
    // Every field of a parsed line came from the line.
    for (const auto& [key, value] : event.attributes())
        if (key.size() + value.size() + 1 > line.size() || key.find("<>") != std::string::npos ||
            value.find("<>") != std::string::npos)
            std::abort();
    event.clear();
    if (!event.id().empty() || !event.attributes().empty() || event.stamp() != 0)
        std::abort();
    return 0;
}
