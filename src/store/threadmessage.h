#pragma once

#include <cstdint>
#include <string>

namespace bryndle {

// One thread record as the cache stores it.
class ThreadMessage {
public:
    virtual ~ThreadMessage() = default;

    // Drops the record's texts after use.
    virtual void clear();

    std::string title;
    int32_t mtime = 0;
    std::string md5;
    std::string message;
    std::string mail;
    std::string name;
    std::string remove_id;
    std::string remove_stamp;
    std::string trip;
    std::string pubkey;
    std::string sign;
    std::string attach;
    std::string ext;
    uint32_t flags = 0;
};

} // namespace bryndle
