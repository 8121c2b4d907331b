#include "store/pagerenderer.h"

#include "foundation/asciitext.h"
#include "store/pagetext.h"
#include "store/stylesheetcache.h"
#include "store/themefunctions.h"

#include <libexslt/exslt.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

namespace bryndle {

namespace {

constexpr int ParseOptions =
    XML_PARSE_NONET | XML_PARSE_HUGE | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

void initialise() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        exsltRegisterAll();
    });
}

struct DocFree {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct ContextFree {
    void operator()(xsltTransformContextPtr context) const { xsltFreeTransformContext(context); }
};
struct PrefsFree {
    void operator()(xsltSecurityPrefsPtr prefs) const { xsltFreeSecurityPrefs(prefs); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

std::string lastXmlError(const std::string& what) {
    const xmlError* error = xmlGetLastError();
    std::string message = what;
    if (error && error->message) {
        message += ": ";
        message += error->message;
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        if (error->line > 0)
            message += " (line " + std::to_string(error->line) + ")";
    }
    return message;
}

Doc parseDocument(std::string_view text, const std::string& url) {
    initialise();
    xmlResetLastError();
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()),
                                  url.empty() ? nullptr : url.c_str(), nullptr, ParseOptions);
    if (!doc)
        throw RenderException(lastXmlError("page document error"));
    return Doc(doc);
}

std::string readFile(const std::string& path, const char* what) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw RenderException(std::string(what) + " not found: " + path);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Resolves the references that pseudo-attribute values may hold.
std::string unescapeValue(std::string_view value) {
    std::string out;
    size_t i = 0;
    while (i < value.size()) {
        size_t amp = value.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(value.substr(i));
            break;
        }
        out.append(value.substr(i, amp - i));
        size_t semicolon = value.find(';', amp);
        std::string_view name = semicolon == std::string_view::npos
                                    ? std::string_view()
                                    : value.substr(amp + 1, semicolon - amp - 1);
        if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos" ||
            (!name.empty() && name[0] == '#')) {
            // The same rules as the page text: a decimal or hexadecimal reference, or one of the
            // five XML names.
            std::string decoded = PageText::decodeEntities(value.substr(amp, semicolon - amp + 1));
            out += decoded;
            i = semicolon + 1;
        } else {
            out += '&';
            i = amp + 1;
        }
    }
    return out;
}

// The value of name="..." or name='...' in a processing instruction's content.
bool pseudoAttribute(std::string_view content, std::string_view name, std::string* value) {
    size_t i = 0;
    while (i < content.size()) {
        while (i < content.size() && std::isspace(static_cast<unsigned char>(content[i])))
            ++i;
        size_t nameStart = i;
        while (i < content.size() && content[i] != '=' &&
               !std::isspace(static_cast<unsigned char>(content[i])))
            ++i;
        std::string_view found = content.substr(nameStart, i - nameStart);
        while (i < content.size() && std::isspace(static_cast<unsigned char>(content[i])))
            ++i;
        if (i >= content.size() || content[i] != '=')
            return false;
        ++i;
        while (i < content.size() && std::isspace(static_cast<unsigned char>(content[i])))
            ++i;
        if (i >= content.size() || (content[i] != '"' && content[i] != '\''))
            return false;
        const char quote = content[i++];
        size_t end = content.find(quote, i);
        if (end == std::string_view::npos)
            return false;
        if (found == name) {
            *value = unescapeValue(content.substr(i, end - i));
            return true;
        }
        i = end + 1;
    }
    return false;
}

// The stylesheet path named by an xml-stylesheet instruction's content, if it names one that
// can be applied.
bool stylesheetOfInstruction(std::string_view content, const std::string& baseDir,
                             std::string* result) {
    std::string type;
    std::string href;
    if (!pseudoAttribute(content, "href", &href))
        return false;
    if (pseudoAttribute(content, "type", &type) && type != "text/xsl" && type != "text/xml" &&
        type != "application/xslt+xml")
        return false;
    if (href.rfind("file://", 0) == 0)
        href = percentDecode(href.substr(7));
    std::filesystem::path path(href);
    if (path.is_relative() && !baseDir.empty())
        path = std::filesystem::path(baseDir) / path;
    *result = path.string();
    return true;
}

bool isStylesheetInstruction(const xmlChar* name) {
    return name && std::string_view(reinterpret_cast<const char*>(name)) == "xml-stylesheet";
}

std::string stylesheetOf(xmlDocPtr doc, const std::string& baseDir) {
    std::string path;
    for (xmlNodePtr node = doc->children; node; node = node->next) {
        if (node->type == XML_PI_NODE && isStylesheetInstruction(node->name) &&
            stylesheetOfInstruction(
                node->content ? reinterpret_cast<const char*>(node->content) : "", baseDir, &path))
            return path;
    }
    throw RenderException("page document names no stylesheet");
}

struct ReaderFree {
    void operator()(xmlTextReaderPtr reader) const { xmlFreeTextReader(reader); }
};
using Reader = std::unique_ptr<xmlTextReader, ReaderFree>;

// The instruction stands before the root element: the reader stops there, so that a large
// document is neither read nor parsed whole to find it.
std::string stylesheetOfProlog(Reader reader, const std::string& baseDir) {
    if (!reader)
        throw RenderException(lastXmlError("page document error"));
    std::string path;
    int status = 0;
    while ((status = xmlTextReaderRead(reader.get())) == 1) {
        const int type = xmlTextReaderNodeType(reader.get());
        if (type == XML_READER_TYPE_ELEMENT)
            break;
        if (type != XML_READER_TYPE_PROCESSING_INSTRUCTION ||
            !isStylesheetInstruction(xmlTextReaderConstName(reader.get())))
            continue;
        const xmlChar* value = xmlTextReaderConstValue(reader.get());
        if (stylesheetOfInstruction(value ? reinterpret_cast<const char*>(value) : "", baseDir,
                                    &path))
            return path;
    }
    if (status < 0)
        throw RenderException(lastXmlError("page document error"));
    throw RenderException("page document names no stylesheet");
}

xsltStylesheetPtr compileStylesheet(const std::string& path) {
    const std::string text = readFile(path, "stylesheet");
    Doc doc = parseDocument(text, path);
    xsltStylesheetPtr style = xsltParseStylesheetDoc(doc.get());
    if (!style)
        throw RenderException("stylesheet error: " + path);
    doc.release(); // the stylesheet owns it now
    return style;
}

// A page is rendered with one of two or three sheets (the theme's get, cache and post); a few
// more leave room for a theme switch and for sheets of other documents.
StylesheetCache::Lease loadStylesheet(const std::string& path) {
    static StylesheetCache cache(compileStylesheet, 6);
    return cache.acquire(path);
}

void collectError(void* context, const char* format, ...) {
    auto* messages = static_cast<std::string*>(context);
    char buffer[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (messages->size() < 4096)
        *messages += buffer;
}

// Takes the document: it is freed as soon as the result exists, so that a large page does not
// hold both trees and the output text at once.
std::string apply(xsltStylesheetPtr style, Doc doc) {
    std::unique_ptr<xsltSecurityPrefs, PrefsFree> prefs(xsltNewSecurityPrefs());
    xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs.get(), XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);

    std::unique_ptr<xsltTransformContext, ContextFree> context(
        xsltNewTransformContext(style, doc.get()));
    if (!context)
        throw RenderException("transform error");
    std::string messages;
    xsltSetTransformErrorFunc(context.get(), &messages, collectError);
    xsltSetCtxtSecurityPrefs(prefs.get(), context.get());
    ThemeFunctions::registerOn(context.get());

    Doc result(xsltApplyStylesheetUser(style, doc.get(), nullptr, nullptr, nullptr, context.get()));
    if (!result || context->state == XSLT_STATE_ERROR || context->state == XSLT_STATE_STOPPED) {
        while (!messages.empty() && messages.back() == '\n')
            messages.pop_back();
        throw RenderException("transform error" + (messages.empty() ? "" : ": " + messages));
    }
    context.reset();
    doc.reset();
    xmlChar* buffer = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&buffer, &length, result.get(), style) != 0)
        throw RenderException("transform output error");
    std::string html =
        buffer ? std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length))
               : std::string();
    xmlFree(buffer);
    return html;
}

} // namespace

std::string PageRenderer::stylesheetPath(std::string_view document, const std::string& baseDir) {
    initialise();
    xmlResetLastError();
    return stylesheetOfProlog(
        Reader(xmlReaderForMemory(document.data(), static_cast<int>(document.size()), nullptr,
                                  nullptr, ParseOptions)),
        baseDir);
}

std::string PageRenderer::stylesheetPathOfFile(const std::string& path) {
    initialise();
    xmlResetLastError();
    return stylesheetOfProlog(Reader(xmlReaderForFile(path.c_str(), nullptr, ParseOptions)),
                              std::filesystem::path(path).parent_path().string());
}

std::string PageRenderer::render(std::string_view document, const std::string& baseDir) {
    Doc doc = parseDocument(document, {});
    auto style = loadStylesheet(stylesheetOf(doc.get(), baseDir));
    return apply(style.get(), std::move(doc));
}

std::string PageRenderer::renderFile(const std::string& path) {
    Doc doc;
    {
        // The text goes once it is parsed.
        const std::string text = readFile(path, "page document");
        doc = parseDocument(text, path);
    }
    auto style =
        loadStylesheet(stylesheetOf(doc.get(), std::filesystem::path(path).parent_path().string()));
    return apply(style.get(), std::move(doc));
}

std::string PageRenderer::transform(std::string_view document, const std::string& stylesheet) {
    Doc doc = parseDocument(document, {});
    auto style = loadStylesheet(stylesheet);
    return apply(style.get(), std::move(doc));
}

} // namespace bryndle
