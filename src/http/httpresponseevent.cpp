#include "http/httpresponseevent.h"

namespace bryndle {

HTTPResponseEvent& HTTPResponseEvent::setStopped(bool stopped) {
    stopped_ = stopped;
    return *this;
}

HTTPResponseEvent& HTTPResponseEvent::setData(std::string_view data) {
    data_.assign(data);
    return *this;
}

void HTTPResponseEvent::clear() {
    stopped_ = false;
    data_.clear();
    header_.reset();
}

} // namespace bryndle
