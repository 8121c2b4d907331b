#include "browse/threadcachestate.h"

#include "store/threadcache.h"

namespace bryndle {

ThreadCacheState ThreadCacheState::read(ThreadCache& cache) {
    ThreadCacheState state;
    std::vector<ThreadIndex> rows = cache.indexes();
    state.entries_.reserve(rows.size());
    for (ThreadIndex& row : rows)
        state.entries_.emplace(std::move(row.title), Entry{row.ptime, row.count});
    return state;
}

const ThreadCacheState::Entry* ThreadCacheState::find(const std::string& title) const {
    auto found = entries_.find(title);
    return found == entries_.end() ? nullptr : &found->second;
}

ThreadCacheState::Mark ThreadCacheState::mark(const std::string& title, uint32_t stamp) const {
    const Entry* entry = find(title);
    if (!entry)
        return Mark::Unread;
    return static_cast<uint32_t>(entry->ptime) == stamp ? Mark::Read : Mark::Updated;
}

} // namespace bryndle
