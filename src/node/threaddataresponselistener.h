#pragma once

#include "http/httpresponselistener.h"
#include "node/threaddataevent.h"

#include <any>
#include <functional>

namespace bryndle {

// Receives one parsed record; the event is cleared as soon as the callback returns.
using RecordCallback = std::function<void(ThreadDataEvent& event)>;

// Parses every body line as a record line and hands it to the callback with the caller's
// tag. A malformed line ends the whole request with its parse error.
class ThreadDataResponseListener : public HTTPResponseListener {
public:
    ThreadDataResponseListener(std::any tag, RecordCallback callback);

    void onData(HTTPResponseEvent& event) override;
    void onLine(HTTPResponseEvent& event) override;

private:
    std::any tag_;
    RecordCallback callback_;
    ThreadDataEvent event_;
};

} // namespace bryndle
