#include "http/httpresponselistener.h"

namespace bryndle {

void HTTPResponseListener::onHeader(HTTPResponseEvent&) {}

void HTTPResponseListener::onFinish() {}

void HTTPResponseListener::onLine(HTTPResponseEvent&) {}

HTTPResponseListener& HTTPResponseListener::setLineMode(bool on) {
    lineMode_ = on;
    return *this;
}

} // namespace bryndle
