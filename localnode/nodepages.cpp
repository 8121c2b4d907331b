#include "nodepages.h"

#include "nodetext.h"

#include "node/encodetitle.h"
#include "node/threadfile.h"

#include <ctime>
#include <set>

namespace bryndle {

namespace {

constexpr const char* kStyle =
    "body{font-family:'IPAGothic','IPAPGothic',sans-serif;margin:1em 2em;background:#f8f8f4}"
    "h1{font-size:1.3em;border-bottom:2px solid #6a8;padding-bottom:.2em}"
    "nav a{margin-right:1em}"
    "dt{margin-top:.8em;color:#444}dt .name{color:#262;font-weight:bold}"
    "dd{margin:.2em 0 0 1.5em}dd img{max-width:320px;display:block;margin-top:.4em}"
    "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:.2em .6em}"
    "form.post{margin-top:1.5em;padding:.8em;border:1px solid #ccc;background:#fff}"
    "form.post textarea{width:100%;height:8em}.error{color:#a00}";

std::string escape(std::string_view text) {
    return NodeText::escapeHtml(text);
}

std::string page(std::string_view title, const std::string& body) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n";
    html +=
        "<title>" + escape(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    html += body;
    html += "</body>\n</html>\n";
    return html;
}

std::string navigation() {
    return "<nav><a href=\"/\">トップ</a><a href=\"/gateway.cgi/changes\">一覧</a>"
           "<a href=\"/gateway.cgi/recent\">新着</a></nav>\n";
}

std::string threadLink(const std::string& title) {
    return "<a href=\"/thread.cgi/" + escape(encodeTitle(title)) + "\">" + escape(title) + "</a>";
}

std::string threadTable(const std::vector<NodeThread>& threads) {
    if (threads.empty()) {
        return "<p>スレッドはありません。</p>\n";
    }
    std::string html = "<table>\n<tr><th>タイトル</th><th>件数</th><th>サイズ</th>"
                       "<th>最終更新</th></tr>\n";
    for (const NodeThread& thread : threads) {
        html += "<tr><td>" + threadLink(thread.title) + "</td><td>" +
                std::to_string(thread.records) + "</td><td>" + std::to_string(thread.size) +
                "</td><td>" + NodePages::formatTime(thread.stamp) + "</td></tr>\n";
    }
    html += "</table>\n";
    return html;
}

bool isImage(std::string_view suffix) {
    static const std::set<std::string_view> images = {"png", "jpg", "jpeg", "gif", "bmp", "webp"};
    return images.count(suffix) != 0;
}

} // namespace

std::string NodePages::formatTime(int64_t stamp) {
    std::time_t time = static_cast<std::time_t>(stamp);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string NodePages::mimeType(std::string_view suffix) {
    if (suffix == "png") {
        return "image/png";
    }
    if (suffix == "jpg" || suffix == "jpeg") {
        return "image/jpeg";
    }
    if (suffix == "gif") {
        return "image/gif";
    }
    if (suffix == "bmp") {
        return "image/bmp";
    }
    if (suffix == "webp") {
        return "image/webp";
    }
    if (suffix == "txt") {
        return "text/plain; charset=utf-8";
    }
    return "application/octet-stream";
}

std::string NodePages::attachmentPath(const std::string& title, const NodeRecord& record,
                                      const std::string& suffix) {
    if (NodeText::attachmentSuffix("." + suffix) != suffix) {
        return {};
    }
    return "/attach.cgi/" + threadFileName(title) + "/" + std::to_string(record.stamp) + "/" +
           record.id + "." + suffix;
}

std::string NodePages::top(const std::vector<NodeThread>& threads, int port, uint64_t requests) {
    std::string body = "<h1>Bryndle ローカルノード</h1>\n" + navigation();
    body += "<p>127.0.0.1:" + std::to_string(port) + " で待ち受けています。スレッド " +
            std::to_string(threads.size()) + " 件、これまでの要求 " + std::to_string(requests) +
            " 件。</p>\n";
    body += threadTable(threads);
    return page("Bryndle ローカルノード", body);
}

std::string NodePages::list(std::string_view kind, const std::vector<NodeThread>& threads) {
    std::string heading = kind == "recent" ? "新着スレッド" : "スレッド一覧";
    return page(heading, "<h1>" + heading + "</h1>\n" + navigation() + threadTable(threads));
}

std::string NodePages::thread(const NodeThread& thread, const std::vector<NodeRecord>& records) {
    std::string file = threadFileName(thread.title);
    std::string body = "<h1>" + escape(thread.title) + "</h1>\n" + navigation();
    body += "<p>" + std::to_string(thread.records) + " 件 / " + std::to_string(thread.size) +
            " バイト <a href=\"/admin.cgi?cmd=fdel&amp;file=" + file +
            "\">このスレッドを削除</a></p>\n<dl class=\"records\">\n";
    for (const NodeRecord& record : records) {
        auto fields = NodeText::recordFields(record.text);
        std::string shortId = record.id.substr(0, 8);
        std::string name = fields.count("name") && !fields["name"].empty()
                               ? NodeText::storedToHtml(fields["name"])
                               : "名無しさん";
        body += "<dt id=\"r" + escape(shortId) + "\"><a href=\"#r" + escape(shortId) + "\">" +
                escape(shortId) + "</a> <span class=\"name\">" + name + "</span>";
        if (fields.count("mail") && !fields["mail"].empty()) {
            body += " [" + NodeText::storedToHtml(fields["mail"]) + "]";
        }
        // Appended: "literal" + a temporary string draws a false -Wrestrict from GCC 12 at -O3.
        body.append(" ").append(formatTime(record.stamp)).append("</dt>\n<dd>");
        if (fields.count("body")) {
            body += NodeText::storedToHtml(fields["body"]);
        }
        if (fields.count("attach") && fields.count("suffix")) {
            std::string path = attachmentPath(thread.title, record, fields["suffix"]);
            if (!path.empty()) {
                body += "<br><a href=\"" + escape(path) + "\">添付 (" + escape(fields["suffix"]) +
                        ")</a>";
                if (isImage(fields["suffix"])) {
                    body += "<img src=\"" + escape(path) + "\" alt=\"添付画像\">";
                }
            }
        }
        body += "</dd>\n";
    }
    body += "</dl>\n";
    body += "<form class=\"post\" method=\"post\" action=\"/thread.cgi\" "
            "enctype=\"multipart/form-data\">\n"
            "<input type=\"hidden\" name=\"cmd\" value=\"post\">\n"
            "<input type=\"hidden\" name=\"file\" value=\"" +
            file +
            "\">\n"
            "<input type=\"hidden\" name=\"dopost\" value=\"dopost\">\n"
            "<p>名前 <input type=\"text\" name=\"name\" size=\"20\"> "
            "メール <input type=\"text\" name=\"mail\" size=\"20\"></p>\n"
            "<p><textarea name=\"body\" rows=\"6\" cols=\"60\"></textarea></p>\n"
            "<p>添付 <input type=\"file\" name=\"attach\"> "
            "<input type=\"submit\" name=\"write\" value=\"書き込む\"></p>\n"
            "</form>\n";
    return page(thread.title, body);
}

std::string NodePages::confirmDelete(const NodeThread& thread, const std::string& code) {
    std::string file = threadFileName(thread.title);
    std::string body = "<h1>スレッドの削除</h1>\n" + navigation();
    body += "<p>「" + escape(thread.title) + "」(" + std::to_string(thread.records) +
            " 件) を削除しますか？</p>\n"
            "<form method=\"post\" action=\"/admin.cgi\">\n"
            "<input type=\"hidden\" name=\"cmd\" value=\"xfdel\">\n"
            "<input type=\"hidden\" name=\"file\" value=\"" +
            file + "\">\n<input type=\"hidden\" name=\"sid\" value=\"" + escape(code) +
            "\">\n<input type=\"submit\" value=\"削除する\">\n</form>\n";
    return page("スレッドの削除", body);
}

std::string NodePages::error(int status, std::string_view message) {
    std::string heading = "エラー " + std::to_string(status);
    return page(heading, "<h1>" + heading + "</h1>\n" + navigation() + "<p class=\"error\">" +
                             escape(message) + "</p>\n");
}

} // namespace bryndle
