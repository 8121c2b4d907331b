#pragma once

// Reads a page document (XML) or a rendered page (HTML) with libxml2 and answers XPath queries.

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace bryndle::test {

class XmlQuery {
public:
    enum class Kind { Xml, Html };

    explicit XmlQuery(const std::string& text, Kind kind = Kind::Xml) {
        if (kind == Kind::Xml)
            doc_ = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                 XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        else
            doc_ = htmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                  HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
    }
    ~XmlQuery() {
        if (doc_)
            xmlFreeDoc(doc_);
    }
    XmlQuery(const XmlQuery&) = delete;
    XmlQuery& operator=(const XmlQuery&) = delete;

    // Whether the text parsed (for XML: whether it is well-formed).
    bool ok() const { return doc_ != nullptr; }

    // Whether an HTML text parses without a single error (stray end tags, unknown tags, broken
    // attributes), where ok() of the forgiving HTML parser stays true.
    static bool htmlWithoutErrors(const std::string& text) {
        htmlParserCtxtPtr context =
            htmlCreateMemoryParserCtxt(text.data(), static_cast<int>(text.size()));
        if (!context)
            return false;
        htmlCtxtUseOptions(context, HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING);
        htmlParseDocument(context);
        const bool clean = context->wellFormed && context->myDoc;
        if (context->myDoc)
            xmlFreeDoc(context->myDoc);
        htmlFreeParserCtxt(context);
        return clean;
    }

    // The string values of the nodes the expression selects, in document order.
    std::vector<std::string> all(const std::string& xpath) const {
        std::vector<std::string> values;
        if (!doc_)
            return values;
        xmlXPathContextPtr context = xmlXPathNewContext(doc_);
        xmlXPathObjectPtr result =
            xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context);
        if (!result) {
            xmlXPathFreeContext(context);
            throw std::runtime_error("bad xpath " + xpath);
        }
        if (result->nodesetval) {
            for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
                xmlChar* content = xmlNodeGetContent(result->nodesetval->nodeTab[i]);
                values.emplace_back(content ? reinterpret_cast<const char*>(content) : "");
                xmlFree(content);
            }
        }
        xmlXPathFreeObject(result);
        xmlXPathFreeContext(context);
        return values;
    }
    // The value of an expression of a string, number or boolean type.
    std::string value(const std::string& xpath) const {
        if (!doc_)
            return {};
        xmlXPathContextPtr context = xmlXPathNewContext(doc_);
        xmlXPathObjectPtr result =
            xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context);
        std::string text;
        if (result) {
            xmlChar* s = xmlXPathCastToString(result);
            text = reinterpret_cast<const char*>(s);
            xmlFree(s);
            xmlXPathFreeObject(result);
        }
        xmlXPathFreeContext(context);
        return text;
    }
    size_t count(const std::string& xpath) const { return all(xpath).size(); }

    // Drops the nodes the expression selects, with everything in them.
    void remove(const std::string& xpath) {
        if (!doc_)
            return;
        xmlXPathContextPtr context = xmlXPathNewContext(doc_);
        xmlXPathObjectPtr result =
            xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath.c_str()), context);
        if (!result) {
            xmlXPathFreeContext(context);
            throw std::runtime_error("bad xpath " + xpath);
        }
        // Last first: a selected node inside another selected one goes before its ancestor.
        for (int i = result->nodesetval ? result->nodesetval->nodeNr - 1 : -1; i >= 0; --i) {
            xmlNodePtr node = result->nodesetval->nodeTab[i];
            if (node->type == XML_ELEMENT_NODE || node->type == XML_TEXT_NODE) {
                xmlUnlinkNode(node);
                xmlFreeNode(node);
            }
        }
        xmlXPathFreeObject(result);
        xmlXPathFreeContext(context);
    }

private:
    xmlDocPtr doc_ = nullptr;
};

// The lines of texts whose lines are separated by line breaks (the bodies of a rendered page);
// a break at the very end ends the last line.
inline std::vector<std::string> textLines(const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    for (const std::string& text : texts) {
        size_t start = 0;
        for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            out.push_back(text.substr(start, end - start));
        if (start < text.size())
            out.push_back(text.substr(start));
    }
    return out;
}

// The records of a rendered page.
inline const std::string RenderedRecords = "//div[contains(concat(' ', @class, ' '), ' record ')]";

// The body of each selected record, as a reader gets it: the record's own text and links,
// without its head, notice and attachment.
inline std::vector<std::string> recordBodies(const XmlQuery& html,
                                             const std::string& records = RenderedRecords) {
    std::vector<std::string> bodies(html.count(records));
    for (size_t i = 0; i < bodies.size(); ++i)
        for (const std::string& piece :
             html.all("(" + records + ")[" + std::to_string(i + 1) + "]/node()[not(self::div)]"))
            bodies[i] += piece;
    return bodies;
}

} // namespace bryndle::test
