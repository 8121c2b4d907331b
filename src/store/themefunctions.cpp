#include "store/themefunctions.h"

#include "foundation/asciitext.h"
#include "foundation/conv.h"

#include <libxml/tree.h>
#include <libxml/xpathInternals.h>
#include <libxslt/extensions.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>

#include <cmath>
#include <cstdio>

namespace bryndle {

namespace {

const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

// Characters as XPath counts them: every byte that does not continue a UTF-8 sequence.
bool startsCharacter(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// The first `count` characters of a UTF-8 text, and whether any were left over.
std::string_view headCharacters(std::string_view text, size_t count, bool* cut) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!startsCharacter(text[i]))
            continue;
        if (characters++ == count) {
            *cut = true;
            return text.substr(0, i);
        }
    }
    *cut = false;
    return text;
}

// The text of a node (a node-set's first node), owned by libxml2's allocator.
struct XmlText {
    xmlChar* text = nullptr;
    explicit XmlText(xmlChar* t) : text(t) {}
    ~XmlText() { xmlFree(text); }
    XmlText(XmlText&& o) noexcept : text(o.text) { o.text = nullptr; }
    XmlText(const XmlText&) = delete;
    XmlText& operator=(const XmlText&) = delete;
    std::string_view view() const {
        return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
    }
};

// Sizes given as XPath numbers; anything odd counts as none.
size_t toSize(double value) {
    if (!(value > 0))
        return 0;
    return value > 1e9 ? 1000000000u : static_cast<size_t>(value);
}

bool isElement(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, xml(name));
}

void localTimeFunction(xmlXPathParserContextPtr parser, int arguments) {
    if (arguments != 1) {
        xmlXPathSetArityError(parser);
        return;
    }
    const double seconds = xmlXPathPopNumber(parser);
    if (parser->error)
        return;
    const std::string text = ThemeFunctions::localTime(seconds);
    valuePush(parser, xmlXPathNewString(xml(text.c_str())));
}

// Text nodes and reference elements in a result tree of the transform, so they go with it.
void refsFunction(xmlXPathParserContextPtr parser, int arguments) {
    if (arguments != 1) {
        xmlXPathSetArityError(parser);
        return;
    }
    xmlChar* argument = xmlXPathPopString(parser);
    if (parser->error) {
        xmlFree(argument);
        return;
    }
    XmlText line(argument);
    xsltTransformContextPtr transform = xsltXPathGetTransformContext(parser);
    xmlDocPtr container = transform ? xsltCreateRVT(transform) : nullptr;
    xmlXPathObjectPtr result = xmlXPathNewNodeSet(nullptr);
    if (!container || !result) {
        if (container)
            xsltReleaseRVT(transform, container);
        xmlXPathFreeObject(result);
        xmlXPathSetError(parser, XPATH_MEMORY_ERROR);
        return;
    }
    xsltRegisterLocalRVT(transform, container);
    for (const ThemeFunctions::Piece& piece : ThemeFunctions::splitReferences(line.view())) {
        const auto* text = reinterpret_cast<const xmlChar*>(piece.text.data());
        const int size = static_cast<int>(piece.text.size());
        xmlNodePtr node = nullptr;
        if (piece.reference) {
            const std::string lower = lowerAscii(piece.text);
            node = xmlNewDocRawNode(container, nullptr, xml("ref"), nullptr);
            if (node) {
                xmlNodeAddContentLen(node, text, size);
                xmlNewProp(node, xml("lower"), xml(lower.c_str()));
            }
        } else {
            node = xmlNewDocTextLen(container, text, size);
        }
        // Pieces alternate, so no text node is merged into the one before it.
        if (!node || !xmlAddChild(reinterpret_cast<xmlNodePtr>(container), node)) {
            xmlFreeNode(node);
            xmlXPathFreeObject(result);
            xmlXPathSetError(parser, XPATH_MEMORY_ERROR);
            return;
        }
        xmlXPathNodeSetAddUnique(result->nodesetval, node);
    }
    valuePush(parser, result);
}

void boxTextFunction(xmlXPathParserContextPtr parser, int arguments) {
    if (arguments != 3) {
        xmlXPathSetArityError(parser);
        return;
    }
    const double length = xmlXPathPopNumber(parser);
    const double count = xmlXPathPopNumber(parser);
    xmlNodeSetPtr message = xmlXPathPopNodeSet(parser);
    if (parser->error) {
        xmlXPathFreeNodeSet(message);
        return;
    }
    std::vector<XmlText> texts;
    if (message && message->nodeNr > 0)
        for (xmlNodePtr line = message->nodeTab[0]->children; line; line = line->next)
            if (isElement(line, "LINE"))
                texts.emplace_back(xmlNodeGetContent(line));
    xmlXPathFreeNodeSet(message);
    std::vector<std::string_view> lines;
    lines.reserve(texts.size());
    for (const XmlText& text : texts)
        lines.push_back(text.view());
    const std::string box = ThemeFunctions::boxText(lines, toSize(count), toSize(length));
    valuePush(parser, xmlXPathNewString(xml(box.c_str())));
}

} // namespace

void ThemeFunctions::registerOn(_xsltTransformContext* context) {
    const xmlChar* uri = xml(NamespaceUri);
    xsltRegisterExtFunction(context, xml("local-time"), uri, localTimeFunction);
    xsltRegisterExtFunction(context, xml("refs"), uri, refsFunction);
    xsltRegisterExtFunction(context, xml("box-text"), uri, boxTextFunction);
}

std::string ThemeFunctions::localTime(double seconds) {
    // Wide of the years 0 to 9999 in any time zone, and well inside time_t.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 4e11)
        return "-";
    const std::tm t = bryndle::localTime(static_cast<int64_t>(std::floor(seconds)));
    if (t.tm_mday == 0 || t.tm_year < -1900 || t.tm_year > 9999 - 1900)
        return "-";
    static constexpr const char* weekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
    char text[40];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d(%s) %02d:%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, weekdays[t.tm_wday % 7], t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

std::vector<ThemeFunctions::Piece> ThemeFunctions::splitReferences(std::string_view line) {
    std::vector<Piece> pieces;
    size_t textStart = 0;
    size_t at = line.find(">>");
    while (at != std::string_view::npos) {
        const size_t id = at + 2;
        bool reference = line.size() - id >= 8;
        for (size_t i = 0; reference && i < 8; ++i)
            reference = hexDigitValue(line[id + i]) >= 0;
        if (!reference) {
            // The ">>" stays text; the search goes on right after it, so ">>>>id" links.
            at = line.find(">>", id);
            continue;
        }
        if (at > textStart)
            pieces.push_back({line.substr(textStart, at - textStart), false});
        pieces.push_back({line.substr(id, 8), true});
        textStart = id + 8;
        at = line.find(">>", textStart);
    }
    if (textStart < line.size())
        pieces.push_back({line.substr(textStart), false});
    return pieces;
}

std::string ThemeFunctions::boxText(const std::vector<std::string_view>& lines, size_t count,
                                    size_t length) {
    std::string box;
    for (size_t i = 0; i < lines.size() && i < count; ++i) {
        if (lines[i].empty())
            continue;
        bool cut = false;
        box += headCharacters(lines[i], length, &cut);
        if (cut)
            box += "…";
        box += '\n';
    }
    if (lines.size() > count)
        box += "…\n";
    return box;
}

} // namespace bryndle
