#pragma once

#include "node/shingetsuio.h"
#include "node/threaddataresponselistener.h"

#include <any>
#include <cstdint>
#include <string>

namespace bryndle {

// The client of the node's server interface for one thread. The record operations deliver
// their records through the callback, on the calling thread, before they return; the event
// is reused and cleared after each callback, and carries the tag given here.
class ServerIO : public ShinGETsuIO {
public:
    using ShinGETsuIO::ShinGETsuIO;

    // With a callback, a malformed line in a get or head answer goes to it and the answer goes
    // on; without one (the default) it ends the operation with its parse error.
    void setMalformedLineCallback(MalformedLineCallback callback) {
        malformed_ = std::move(callback);
    }

    // The records from the stamp on, in the node's order.
    virtual void getRange(std::any tag, const RecordCallback& callback, const std::string& title,
                          uint32_t from);
    // The record with that stamp and id (a node may answer several).
    virtual void getRecord(std::any tag, const RecordCallback& callback, const std::string& title,
                           uint32_t stamp, const std::string& id);
    // Whether the node holds the thread; raises Exception "have response error" for an answer
    // that is neither YES nor NO.
    virtual bool have(const std::string& title);
    // Like getRange, but the events carry only stamp and id.
    virtual void head(std::any tag, const RecordCallback& callback, const std::string& title,
                      uint32_t from);

private:
    MalformedLineCallback malformed_;
};

} // namespace bryndle
