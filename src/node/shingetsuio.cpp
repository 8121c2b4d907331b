#include "node/shingetsuio.h"

namespace bryndle {

ShinGETsuIO::ShinGETsuIO(NodeAddress address, int32_t timeoutSeconds)
    : address_(std::move(address)), timeout_(timeoutSeconds) {
    // An error page is not an answer: its lines must not be taken for records or threads.
    connection_.setRequireOk(true);
}

void ShinGETsuIO::request(HTTPRequestGenerator& request) {
    auto header = request.header();
    if (!header) {
        header = std::make_shared<HTTPHeader>();
        header->setVersion(1.0f);
        request.setHeader(header);
    }
    // Current nodes answer 500 to a request without it.
    header->add("Host", address_.hostField());
    try {
        connect();
        connection_.request(request);
    } catch (...) {
        close();
        throw;
    }
    close();
}

void ShinGETsuIO::requestWith(HTTPRequestGenerator& request, HTTPResponseListener& listener) {
    setListener(&listener);
    try {
        this->request(request);
    } catch (...) {
        removeListener();
        throw;
    }
    removeListener();
}

void ShinGETsuIO::setListener(HTTPResponseListener* listener) {
    connection_.setListener(listener);
}

ShinGETsuIO& ShinGETsuIO::removeListener() {
    connection_.removeListener();
    return *this;
}

void ShinGETsuIO::connect() {
    connection_.setDeadline(deadline_);
    connection_.connect(address_.address(), timeout_);
}

void ShinGETsuIO::close() {
    connection_.close();
}

} // namespace bryndle
