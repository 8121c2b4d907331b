// The page document built from arbitrary record fields must be well-formed XML that libxml2
// reads back: one ITEM per record, one LINE per line of its body, and every text that XML can
// hold coming back unchanged.
#include "config/configuration.h"
#include "foundation/unicode.h"
#include "store/schema.h"
#include "store/threadmessage.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

bool named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           std::string_view(reinterpret_cast<const char*>(node->name)) == name;
}

const xmlNode* child(const xmlNode* parent, const char* name) {
    for (const xmlNode* n = parent->children; n; n = n->next)
        if (named(n, name))
            return n;
    std::abort();
}

size_t countChildren(const xmlNode* parent, const char* name) {
    size_t count = 0;
    for (const xmlNode* n = parent->children; n; n = n->next)
        count += named(n, name) ? 1 : 0;
    return count;
}

std::string content(const xmlNode* node) {
    xmlChar* text = xmlNodeGetContent(node);
    std::string out = text ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return out;
}

// A text that XML can hold as it is: UTF-8 without the control characters and non-characters
// that the page replaces.
bool xmlSafe(std::string_view text) {
    if (!bryndle::Unicode::isValidUtf8(text))
        return false;
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    return text.find("\xEF\xBF\xBE") == std::string_view::npos &&
           text.find("\xEF\xBF\xBF") == std::string_view::npos;
}

size_t countOf(std::string_view text, std::string_view what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

bryndle::ThreadMessage record(FuzzedDataProvider& in) {
    bryndle::ThreadMessage m;
    m.md5 = in.ConsumeRandomLengthString(40);
    m.message = in.ConsumeRandomLengthString(1024);
    m.name = in.ConsumeRandomLengthString(64);
    m.mail = in.ConsumeRandomLengthString(64);
    m.trip = in.ConsumeRandomLengthString(16);
    m.remove_id = in.ConsumeRandomLengthString(40);
    m.remove_stamp = in.ConsumeRandomLengthString(16);
    m.attach = in.ConsumeRandomLengthString(40);
    m.ext = in.ConsumeRandomLengthString(12);
    m.mtime = in.ConsumeIntegral<int32_t>();
    m.flags = in.ConsumeIntegral<uint32_t>();
    return m;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    bryndle::Configuration::setInstance(std::make_unique<bryndle::Configuration>("unused.db"));
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    bryndle::Configuration::instance().setNodeHost(in.ConsumeRandomLengthString(64));
    bryndle::Schema schema(in.ConsumeRandomLengthString(256));
    schema.method = in.ConsumeRandomLengthString(16);
    schema.target = in.ConsumeRandomLengthString(16);
    const std::string theme = in.ConsumeRandomLengthString(64);
    const std::string recentId = in.ConsumeRandomLengthString(40);
    const uint32_t first = in.ConsumeIntegral<uint32_t>();
    std::vector<bryndle::ThreadMessage> records(in.ConsumeIntegralInRange<size_t>(0, 4));
    for (auto& r : records)
        r = record(in);

    const std::string text =
        bryndle::ThreadMessage::toDocument(schema, theme, records, first, recentId);
    std::unique_ptr<xmlDoc, DocFree> doc(
        xmlReadMemory(text.data(), static_cast<int>(text.size()), "page.xml", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc)
        std::abort(); // not well-formed
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root || !named(root, "SHINGETSU"))
        std::abort();
    const xmlNode* info = child(root, "INFO");
    if (xmlSafe(schema.title) && content(child(info, "TITLE")) != schema.title)
        std::abort();
    if (xmlSafe(recentId) && content(child(info, "RECENT_ID")) != recentId)
        std::abort();
    if (content(child(info, "COUNT")) != std::to_string(records.size()))
        std::abort();
    const xmlNode* items = child(root, "ITEMS");
    if (countChildren(items, "ITEM") != records.size())
        std::abort();
    size_t i = 0;
    for (const xmlNode* n = items->children; n; n = n->next) {
        if (!named(n, "ITEM"))
            continue;
        const auto& r = records[i++];
        if (countChildren(child(n, "MESSAGE"), "LINE") != countOf(r.message, "<br>") + 1)
            std::abort();
        if (xmlSafe(r.trip) && content(child(n, "TRIP")) != r.trip)
            std::abort();
    }
    return 0;
}
