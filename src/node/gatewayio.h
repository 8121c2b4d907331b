#pragma once

#include "node/shingetsuio.h"
#include "node/threadlistresponselistener.h"

#include <any>
#include <string>

namespace bryndle {

// Reads the node's thread lists. Each operation calls the callback once per well-formed line,
// in the node's order, on the calling thread, and returns when the node has sent the whole
// list (or a callback set stop).
class GatewayIO : public ShinGETsuIO {
public:
    // A list is one short answer: its whole request gets less time than a thread's records.
    static constexpr int32_t ListDeadline = 120;

    explicit GatewayIO(NodeAddress address, int32_t timeoutSeconds = DefaultTimeout);

    virtual void changes(std::any tag, const ThreadCallback& callback);
    virtual void recent(std::any tag, const ThreadCallback& callback);

private:
    void list(const std::string& kind, std::any tag, const ThreadCallback& callback);
};

} // namespace bryndle
