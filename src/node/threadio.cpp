#include "node/threadio.h"

#include "node/registerthreadrequest.h"

namespace bryndle {

void ThreadIO::registerThread(const std::string& title) {
    RegisterThreadRequest request(title);
    removeListener();
    this->request(request);
}

} // namespace bryndle
