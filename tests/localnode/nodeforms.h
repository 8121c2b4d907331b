#pragma once

// Registering a thread on a running node and posting to it as the node's own form does.

#include "node/encodetitle.h"
#include "node/threadfile.h"

#include <httplib.h>

#include <string>

namespace bryndle::test {

inline bool registerThread(int port, const std::string& title) {
    httplib::Client client("127.0.0.1", port);
    auto answer = client.Get("/thread.cgi/" + encodeTitle(title));
    return answer && answer->status == 200;
}

// True when the node took the post: it answers with a redirect to the thread.
inline bool postRecord(int port, const std::string& title, const std::string& body,
                       const std::string& name = {}) {
    httplib::Client client("127.0.0.1", port);
    auto answer = client.Post(
        "/thread.cgi", httplib::MultipartFormDataItems{{"cmd", "post", "", ""},
                                                       {"file", threadFileName(title), "", ""},
                                                       {"dopost", "dopost", "", ""},
                                                       {"name", name, "", ""},
                                                       {"body", body, "", ""}});
    return answer && answer->status == 302;
}

} // namespace bryndle::test
