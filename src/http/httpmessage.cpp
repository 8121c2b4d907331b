#include "http/httpmessage.h"

namespace bryndle {

HTTPMessage& HTTPMessage::setBody(std::string body) {
    body_ = std::move(body);
    return *this;
}

} // namespace bryndle
