#include "node/threadlistresponselistener.h"

#include <exception>

namespace bryndle {

ThreadListResponseListener::ThreadListResponseListener(std::any tag, ThreadCallback callback)
    : tag_(std::move(tag)), callback_(std::move(callback)) {
    setLineMode(true);
}

void ThreadListResponseListener::onData(HTTPResponseEvent&) {}

void ThreadListResponseListener::onLine(HTTPResponseEvent& event) {
    try {
        event_.parse(event.data(), tag_);
    } catch (const std::exception&) {
        event_.clear();
        return;
    }
    try {
        if (callback_)
            callback_(event_);
    } catch (...) {
        event_.clear();
        throw;
    }
    event.setStopped(event_.stop());
    event_.clear();
}

} // namespace bryndle
