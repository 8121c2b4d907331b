#pragma once

#include "browse/threadtablemodel.h"
#include "node/threadlistresponselistener.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace bryndle {

class GatewayIO;
class ThreadCache;

// One listing of a node's threads for the thread table: the node's list, each thread numbered
// in the node's order, and the cache's index rows to compare them with. run() blocks for as long
// as the node takes (within the deadline); the table runs it on a worker thread. It touches no
// widget and no process-wide object: everything comes in at construction.
class ThreadListing {
public:
    struct Result {
        bool succeeded = false;
        // The error's message when the listing failed.
        QString error;
        // Which list it was: the subscribed threads ("changes") or the new ones ("recent").
        bool subscribed = false;
        std::vector<ThreadItemPtr> items;
        std::shared_ptr<const ThreadCacheState> cacheState;
    };

    // cache may be null: every thread is then unread.
    ThreadListing(std::string host, uint16_t port, int32_t deadlineSeconds, ThreadCache* cache);
    virtual ~ThreadListing() = default;

    // The whole listing; a failure (host not resolvable, connection refused, time-out, an answer
    // that is not 200, a cache error) is reported in the result, never raised.
    Result run() const;

    virtual bool subscribed() const = 0;

protected:
    virtual void list(GatewayIO& gateway, const ThreadCallback& callback) const = 0;

private:
    std::string host_;
    uint16_t port_;
    int32_t deadline_;
    ThreadCache* cache_;
};

// The node's new threads.
class RecentThread : public ThreadListing {
public:
    using ThreadListing::ThreadListing;
    bool subscribed() const override { return false; }

protected:
    void list(GatewayIO& gateway, const ThreadCallback& callback) const override;
};

// The node's subscribed threads.
class RegisteredThread : public ThreadListing {
public:
    using ThreadListing::ThreadListing;
    bool subscribed() const override { return true; }

protected:
    void list(GatewayIO& gateway, const ThreadCallback& callback) const override;
};

} // namespace bryndle
