#pragma once

#include "foundation/sqlite.h"
#include "store/threadindex.h"
#include "store/threadmessage.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace bryndle {

// The local cache of thread records ("cache.db"): one SQLite connection, every operation one
// transaction under one lock, so the interface thread and page loader workers can share it.
class ThreadCache {
public:
    static constexpr uint32_t All = 4294967295u;

    explicit ThreadCache(const std::string& databaseFile);
    virtual ~ThreadCache() = default;

    // The process-wide cache, built once by the start-up code.
    static ThreadCache& instance();
    static void setInstance(std::unique_ptr<ThreadCache> cache);
    static bool hasInstance();

    virtual ThreadMessage rowToMessage(const SQLiteStatement& statement) const;
    virtual ThreadMessageSummary rowToSummary(const SQLiteStatement& statement) const;
    virtual ThreadIndex rowToIndex(const SQLiteStatement& statement) const;
    // The cache clock stored in ATIME: seconds since 1970 minus 16 hours.
    virtual int64_t now() const;
    virtual std::optional<ThreadIndex> index(const std::string& title);
    virtual std::vector<ThreadIndex> indexes();
    virtual std::vector<ThreadIndex> indexesSince(int32_t stamp);
    virtual std::vector<ThreadMessageSummary> summariesSince(const std::string& title,
                                                             int32_t stamp);
    virtual int32_t count(const std::string& title);
    virtual std::optional<ThreadMessage> messageByHashPrefix(const std::string& title,
                                                             const std::string& prefix);
    virtual std::vector<ThreadMessage> messages(const std::string& title, uint32_t skip,
                                                uint32_t limit);
    virtual void updateIndex(const std::string& title);
    virtual void clearFlag(const std::string& title);
    virtual void insert(const ThreadMessage& message);
    // Stores the records; one already stored is refused and skipped. Any other failure raises
    // (the records before it in the list stay stored). Returns how many were stored.
    virtual size_t insertAll(const std::vector<ThreadMessage>& messages);
    virtual std::mutex& lock() { return lock_; }

    // Tests replace the clock behind now().
    void setClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }

private:
    enum class Close { End, Commit };
    // Runs body as one transaction under the lock; statements are finalized by their owners.
    template <class F> auto transaction(Close close, F&& body);
    bool hasCacheTable();

    std::mutex lock_;
    SQLite db_;
    std::function<std::time_t()> clock_;
};

} // namespace bryndle
