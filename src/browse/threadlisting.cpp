#include "browse/threadlisting.h"

#include "node/gatewayio.h"
#include "node/nodeaddress.h"
#include "store/threadcache.h"

namespace bryndle {

ThreadListing::ThreadListing(std::string host, uint16_t port, int32_t deadlineSeconds,
                             ThreadCache* cache)
    : host_(std::move(host)), port_(port), deadline_(deadlineSeconds), cache_(cache) {}

ThreadListing::Result ThreadListing::run() const {
    Result result;
    result.subscribed = subscribed();
    try {
        GatewayIO gateway(NodeAddress(host_, port_), deadline_);
        gateway.setDeadline(deadline_);
        int32_t number = 0;
        list(gateway, [&](ThreadResponseEvent& event) {
            result.items.push_back(std::make_shared<const ThreadItem>(event, ++number));
        });
        result.cacheState = std::make_shared<const ThreadCacheState>(
            cache_ ? ThreadCacheState::read(*cache_) : ThreadCacheState());
        result.succeeded = true;
    } catch (const std::exception& e) {
        result.items.clear();
        result.error = QString::fromStdString(e.what());
    } catch (...) {
        result.items.clear();
        result.error = QStringLiteral("unknown error");
    }
    return result;
}

void RecentThread::list(GatewayIO& gateway, const ThreadCallback& callback) const {
    gateway.recent({}, callback);
}

void RegisteredThread::list(GatewayIO& gateway, const ThreadCallback& callback) const {
    gateway.changes({}, callback);
}

} // namespace bryndle
