#pragma once

#include <cstdint>
#include <string>

namespace bryndle {

class PageLoader;

// One line of a node's head answer.
class ServerIndex {
public:
    ServerIndex(uint32_t stamp, std::string id, PageLoader* loader)
        : stamp(stamp), id(std::move(id)), loader(loader) {}
    virtual ~ServerIndex() = default;

    // As the node sent it (unsigned, so a stamp past 2038 does not turn negative).
    uint32_t stamp;
    std::string id;
    // The loader that asked.
    PageLoader* loader;
};

} // namespace bryndle
