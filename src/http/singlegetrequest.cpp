#include "http/singlegetrequest.h"

namespace bryndle {

SingleGetRequest::SingleGetRequest(std::string path) {
    setMethod("GET");
    setPath(std::move(path));
    auto head = std::make_shared<HTTPHeader>();
    head->setVersion(1.0f);
    setHeader(std::move(head));
}

} // namespace bryndle
