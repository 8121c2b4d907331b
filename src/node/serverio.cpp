#include "node/serverio.h"

#include "node/hashgetrequest.h"
#include "node/haverequest.h"
#include "node/havethreadresponselistener.h"
#include "node/headrequest.h"
#include "node/rangegetrequest.h"

namespace bryndle {

void ServerIO::getRange(std::any tag, const RecordCallback& callback, const std::string& title,
                        uint32_t from) {
    RangeGetRequest request(title, from);
    ThreadDataResponseListener listener(std::move(tag), callback, malformed_);
    requestWith(request, listener);
}

void ServerIO::getRecord(std::any tag, const RecordCallback& callback, const std::string& title,
                         uint32_t stamp, const std::string& id) {
    HashGetRequest request(title, stamp, id);
    ThreadDataResponseListener listener(std::move(tag), callback, malformed_);
    requestWith(request, listener);
}

bool ServerIO::have(const std::string& title) {
    HaveRequest request(title);
    HaveThreadResponseListener listener;
    requestWith(request, listener);
    if (!listener.valid())
        throw Exception("have response error");
    return listener.have();
}

void ServerIO::head(std::any tag, const RecordCallback& callback, const std::string& title,
                    uint32_t from) {
    HeadRequest request(title, from);
    ThreadDataResponseListener listener(std::move(tag), callback, malformed_);
    requestWith(request, listener);
}

} // namespace bryndle
