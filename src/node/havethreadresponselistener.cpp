#include "node/havethreadresponselistener.h"

#include <string_view>

namespace bryndle {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

HaveThreadResponseListener::HaveThreadResponseListener() {
    setLineMode(true);
}

void HaveThreadResponseListener::onData(HTTPResponseEvent&) {}

void HaveThreadResponseListener::onLine(HTTPResponseEvent& event) {
    if (equalsIgnoringCase(event.data(), "YES")) {
        have_ = true;
        valid_ = true;
    } else if (equalsIgnoringCase(event.data(), "NO")) {
        have_ = false;
        valid_ = true;
    } else {
        valid_ = false;
    }
}

} // namespace bryndle
