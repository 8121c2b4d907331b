#pragma once

#include <cstdint>
#include <string>

namespace bryndle {

// One row of THREAD_INDEX.
class ThreadIndex {
public:
    virtual ~ThreadIndex() = default;
    // The first 8 characters of phash; empty when phash is shorter.
    virtual std::string recentId() const;
    virtual void dispose();

    std::string title;
    int32_t ptime = 0;
    std::string phash;
    int32_t atime = 0;
    int32_t count = 0;
    int32_t flag = 0;
};

// (MTIME, MD5) of one cached record.
class ThreadMessageSummary {
public:
    virtual ~ThreadMessageSummary() = default;
    virtual void dispose() { md5.clear(); }

    int32_t mtime = 0;
    std::string md5;
};

} // namespace bryndle
