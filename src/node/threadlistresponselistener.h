#pragma once

#include "http/httpresponselistener.h"
#include "node/threadresponseevent.h"

#include <any>
#include <functional>

namespace bryndle {

// Receives one parsed thread; the event is cleared as soon as the callback returns.
using ThreadCallback = std::function<void(ThreadResponseEvent& event)>;

// Parses every body line as a thread list line and hands it to the callback; a malformed
// line is skipped silently. A callback that sets the event's stop flag ends the listing.
class ThreadListResponseListener : public HTTPResponseListener {
public:
    ThreadListResponseListener(std::any tag, ThreadCallback callback);

    void onData(HTTPResponseEvent& event) override;
    void onLine(HTTPResponseEvent& event) override;

private:
    std::any tag_;
    ThreadCallback callback_;
    ThreadResponseEvent event_;
};

} // namespace bryndle
