#include "node/threaddataresponselistener.h"

namespace bryndle {

ThreadDataResponseListener::ThreadDataResponseListener(std::any tag, RecordCallback callback,
                                                       MalformedLineCallback malformed)
    : tag_(std::move(tag)), callback_(std::move(callback)), malformed_(std::move(malformed)) {
    setLineMode(true);
}

void ThreadDataResponseListener::onData(HTTPResponseEvent&) {}

bool ThreadDataResponseListener::parse(std::string_view line) {
    try {
        event_.parse(line);
        return true;
    } catch (const std::exception& error) {
        event_.clear();
        if (!malformed_)
            throw;
        if (!line.empty())
            malformed_(line, error);
        return false;
    }
}

void ThreadDataResponseListener::onLine(HTTPResponseEvent& event) {
    if (!parse(event.data()))
        return;
    try {
        event_.setTag(tag_);
        if (callback_)
            callback_(event_);
    } catch (...) {
        event_.clear();
        throw;
    }
    event_.clear();
}

} // namespace bryndle
