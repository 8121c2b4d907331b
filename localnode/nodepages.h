#pragma once

#include "nodestore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bryndle {

// The node's web pages (UTF-8 HTML).
struct NodePages {
    static std::string top(const std::vector<NodeThread>& threads, int port, uint64_t requests);
    // The thread list of a kind ("changes" or "recent").
    static std::string list(std::string_view kind, const std::vector<NodeThread>& threads);
    // A thread's records and a posting form that posts to /thread.cgi.
    static std::string thread(const NodeThread& thread, const std::vector<NodeRecord>& records);
    // Asks whether to delete a thread; its form posts cmd=xfdel with the one-time code.
    static std::string confirmDelete(const NodeThread& thread, const std::string& code);
    static std::string error(int status, std::string_view message);

    // The local time of a stamp, "YYYY-MM-DD HH:MM:SS".
    static std::string formatTime(int64_t stamp);
    // The path of a record's attachment, or empty when its suffix is not usable.
    static std::string attachmentPath(const std::string& title, const NodeRecord& record,
                                      const std::string& suffix);
    // MIME type of an attachment suffix.
    static std::string mimeType(std::string_view suffix);
};

} // namespace bryndle
