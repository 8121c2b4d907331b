#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace bryndle {

class ThreadCache;

// What the local cache holds of each thread, as the thread table compares a node's list with
// it: the stamp of the newest cached record and the cached record count, by title.
class ThreadCacheState {
public:
    enum class Mark { Unread, Read, Updated };

    struct Entry {
        int32_t ptime = 0;
        int32_t count = 0;
    };

    // All index rows of the cache, in one query.
    static ThreadCacheState read(ThreadCache& cache);

    void add(std::string title, Entry entry) { entries_[std::move(title)] = entry; }
    // Null when the cache has no index row for the title.
    const Entry* find(const std::string& title) const;
    // Unread without an index row; Read when its newest record has the node's stamp; else
    // Updated.
    Mark mark(const std::string& title, uint32_t stamp) const;
    size_t size() const { return entries_.size(); }

private:
    std::unordered_map<std::string, Entry> entries_;
};

} // namespace bryndle
