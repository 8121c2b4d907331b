#include "store/threadmessage.h"

#include "config/configuration.h"
#include "foundation/asciitext.h"
#include "foundation/digest.h"
#include "node/threadfile.h"
#include "store/pagetext.h"
#include "store/schema.h"

#include <algorithm>

namespace bryndle {

namespace {

std::string fileName(const std::string& hash, const std::string& ext) {
    if (ThreadMessage::isSafeSuffix(ext))
        return hash + "." + ext;
    return hash;
}

bool isMd5Hex(std::string_view text) {
    return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

void element(std::string& out, std::string_view indent, std::string_view name,
             std::string_view content) {
    out += indent;
    out += '<';
    out += name;
    out += '>';
    out += content;
    out += "</";
    out += name;
    out += ">\n";
}

} // namespace

bool ThreadMessage::isSafeSuffix(std::string_view suffix) {
    return !suffix.empty() && suffix.size() <= MaxSuffixLength &&
           std::all_of(suffix.begin(), suffix.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
           });
}

std::string ThreadMessage::attachPathFor(std::string_view bytes) const {
    return Configuration::joinPath(Configuration::instance().attachDir(),
                                   fileName(Digest::md5Hex(bytes), ext));
}

void ThreadMessage::setAttach(std::string_view bytes) {
    attach = Digest::md5Hex(bytes);
}

std::string ThreadMessage::attachPath() const {
    return attachPathIn(Configuration::instance().attachDir());
}

std::string ThreadMessage::attachPathIn(const std::string& folder) const {
    if (!isMd5Hex(attach))
        return {};
    return Configuration::joinPath(folder, fileName(attach, ext));
}

std::string ThreadMessage::toItem(uint32_t number) const {
    constexpr std::string_view In = "\t\t\t";
    std::string out;
    out.reserve(512 + message.size() + name.size() + mail.size());
    out += "\t\t<ITEM>\n";
    element(out, In, "ID", PageText::escape(std::string_view(md5).substr(0, ShortIdLength)));
    element(out, In, "NO", std::to_string(number));
    element(out, In, "HASH", PageText::escape(md5));
    element(out, In, "TIMESTAMP", std::to_string(mtime));
    element(out, In, "NAME", PageText::nodeText(name));
    element(out, In, "MAIL", PageText::nodeText(mail));
    element(out, In, "TRIP", PageText::escape(trip));
    element(out, In, "REMOVE_ID", PageText::escape(remove_id));
    element(out, In, "REMOVE_STAMP", PageText::escape(remove_stamp));
    element(out, In, "MESSAGE", PageText::messageLines(message));
    element(out, In, "ATTACH_PATH", PageText::escape(attachPath()));
    element(out, In, "ATTACH_HASH", PageText::escape(attach));
    element(out, In, "ATTACH_EXT", PageText::escape(ext));
    element(out, In, "FLAGS", std::to_string(flags));
    out += "\t\t</ITEM>\n";
    return out;
}

void ThreadMessage::clear() {
    title.clear();
    md5.clear();
    message.clear();
    name.clear();
    mail.clear();
    pubkey.clear();
    trip.clear();
    sign.clear();
    ext.clear();
}

std::string ThreadMessage::toDocument(const Schema& schema, const std::string& themeDir,
                                      const std::vector<ThreadMessage>& records, uint32_t first,
                                      const std::string& recentId) {
    // The file system is case-sensitive here: "GET" names get.xsl as "get" does.
    const std::string stylesheet = Configuration::joinPath(Configuration::resolvePath(themeDir),
                                                           lowerAscii(schema.method) + ".xsl");
    const uint64_t count = records.size();
    const uint64_t last = count == 0 ? first : uint64_t{first} + count - 1;
    constexpr std::string_view In = "\t\t";

    std::string out;
    size_t estimate = 1024;
    for (const auto& record : records)
        estimate += 640 + record.message.size() + record.name.size() + record.mail.size();
    out.reserve(estimate);
    out += "<?xml version=\"1.0\"?>\n<?xml-stylesheet type=\"text/xsl\" href=\"";
    out += PageText::escape(stylesheet);
    out += "\" ?>\n<SHINGETSU>\n\t<INFO>\n";
    element(out, In, "TITLE", PageText::escape(schema.title));
    element(out, In, "FILE", PageText::escape(threadFileName(schema.title)));
    element(out, In, "TARGET", PageText::escape(schema.target));
    element(out, In, "GATEWAY",
            PageText::escape(Configuration::hasInstance() ? Configuration::instance().nodeURL()
                                                          : std::string()));
    element(out, In, "METHOD", PageText::escape(schema.method));
    element(out, In, "BEGINNO", std::to_string(first));
    element(out, In, "ENDNO", std::to_string(last));
    element(out, In, "COUNT", std::to_string(count));
    element(out, In, "RECENT_ID", PageText::escape(recentId));
    element(out, In, "THEME", PageText::escape(themeDir));
    out += "\t</INFO>\n\t<ITEMS>\n";
    uint64_t number = first;
    for (const auto& record : records)
        out += record.toItem(static_cast<uint32_t>(number++));
    out += "\t</ITEMS>\n</SHINGETSU>\n";
    return out;
}

} // namespace bryndle
