#include "node/gatewayio.h"

#include "node/threadlistrequest.h"

namespace bryndle {

GatewayIO::GatewayIO(NodeAddress address, int32_t timeoutSeconds)
    : ShinGETsuIO(std::move(address), timeoutSeconds) {
    setDeadline(ListDeadline);
}

void GatewayIO::changes(std::any tag, const ThreadCallback& callback) {
    list("changes", std::move(tag), callback);
}

void GatewayIO::recent(std::any tag, const ThreadCallback& callback) {
    list("recent", std::move(tag), callback);
}

void GatewayIO::list(const std::string& kind, std::any tag, const ThreadCallback& callback) {
    ThreadListRequest request(kind);
    ThreadListResponseListener listener(std::move(tag), callback);
    requestWith(request, listener);
}

} // namespace bryndle
