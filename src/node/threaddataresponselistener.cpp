#include "node/threaddataresponselistener.h"

namespace bryndle {

ThreadDataResponseListener::ThreadDataResponseListener(std::any tag, RecordCallback callback)
    : tag_(std::move(tag)), callback_(std::move(callback)) {
    setLineMode(true);
}

void ThreadDataResponseListener::onData(HTTPResponseEvent&) {}

void ThreadDataResponseListener::onLine(HTTPResponseEvent& event) {
    try {
        event_.parse(event.data());
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
