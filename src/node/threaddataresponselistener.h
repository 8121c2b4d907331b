#pragma once

#include "http/httpresponselistener.h"
#include "node/threaddataevent.h"

#include <any>
#include <exception>
#include <functional>
#include <string_view>

namespace bryndle {

// Receives one parsed record; the event is cleared as soon as the callback returns.
using RecordCallback = std::function<void(ThreadDataEvent& event)>;
// Receives a line that is not a record line, with its parse error.
using MalformedLineCallback =
    std::function<void(std::string_view line, const std::exception& error)>;

// Parses every body line as a record line and hands it to the callback with the caller's
// tag. A malformed line ends the whole request with its parse error; with a malformed-line
// callback it goes to that callback instead and the answer goes on (empty lines are passed
// over).
class ThreadDataResponseListener : public HTTPResponseListener {
public:
    ThreadDataResponseListener(std::any tag, RecordCallback callback,
                               MalformedLineCallback malformed = {});

    void onData(HTTPResponseEvent& event) override;
    void onLine(HTTPResponseEvent& event) override;

private:
    // Parses a line into the event; false for a malformed line that the callback took.
    bool parse(std::string_view line);

    std::any tag_;
    RecordCallback callback_;
    MalformedLineCallback malformed_;
    ThreadDataEvent event_;
};

} // namespace bryndle
