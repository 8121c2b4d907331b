#include "store/pagerenderer.h"

#include "foundation/asciitext.h"
#include "foundation/conv.h"
#include "store/pagetext.h"
#include "store/stylesheetcache.h"
#include "store/themefunctions.h"

#include <libexslt/exslt.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlreader.h>
#include <libxslt/imports.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

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

Doc parseDocument(std::string_view text, const std::string& url, int options = ParseOptions) {
    initialise();
    xmlResetLastError();
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()),
                                  url.empty() ? nullptr : url.c_str(), nullptr, options);
    if (!doc)
        throw RenderException(lastXmlError("page document error"));
    return Doc(doc);
}

// Whether the text is a page document: its root element, after the declaration, instructions
// and comments, is SHINGETSU (and it has no document type).
bool isPageDocument(std::string_view text) {
    size_t at = 0;
    while ((at = text.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = text.substr(at);
        const std::string_view end = rest.substr(0, 4) == "<!--" ? "-->" : "?>";
        if (rest.substr(0, 2) != "<?" && end != "-->") {
            constexpr std::string_view Root = "<SHINGETSU";
            return rest.substr(0, Root.size()) == Root && rest.size() > Root.size() &&
                   std::string_view("> \t\r\n").find(rest[Root.size()]) != std::string_view::npos;
        }
        at = text.find(end, at + 2);
    }
    return false;
}

// A page document's blank text between elements is its indentation: dropped while parsing, the
// tree holds half the nodes, and every theme strips it anyway.
Doc parsePage(std::string_view text, const std::string& url) {
    return parseDocument(text, url,
                         isPageDocument(text) ? ParseOptions | XML_PARSE_NOBLANKS : ParseOptions);
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

// One transform of a page document: its own context, with the theme functions, writing and the
// network forbidden, and errors collected.
struct Transform {
    explicit Transform(StylesheetCache::Lease lent) : style(std::move(lent)) {}
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;

    StylesheetCache::Lease style;
    std::unique_ptr<xsltSecurityPrefs, PrefsFree> prefs;
    std::unique_ptr<xsltTransformContext, ContextFree> context;
    std::string messages;
};

std::unique_ptr<Transform> prepare(StylesheetCache::Lease style, xmlDocPtr doc) {
    auto transform = std::make_unique<Transform>(std::move(style));
    transform->prefs.reset(xsltNewSecurityPrefs());
    xsltSecurityPrefsPtr prefs = transform->prefs.get();
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_FILE, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_CREATE_DIRECTORY, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_READ_NETWORK, xsltSecurityForbid);
    xsltSetSecurityPrefs(prefs, XSLT_SECPREF_WRITE_NETWORK, xsltSecurityForbid);

    transform->context.reset(xsltNewTransformContext(transform->style.get(), doc));
    xsltTransformContextPtr context = transform->context.get();
    if (!context)
        throw RenderException("transform error");
    xsltSetTransformErrorFunc(context, &transform->messages, collectError);
    xsltSetCtxtSecurityPrefs(prefs, context);
    ThemeFunctions::registerOn(context);
    return transform;
}

// The result tree of the transform; params as libxslt takes them (names and XPath values).
Doc transformTree(Transform& transform, xmlDocPtr doc, const char** params = nullptr) {
    Doc result(xsltApplyStylesheetUser(transform.style.get(), doc, params, nullptr, nullptr,
                                       transform.context.get()));
    const int state = transform.context->state;
    if (!result || state == XSLT_STATE_ERROR || state == XSLT_STATE_STOPPED) {
        std::string& messages = transform.messages;
        while (!messages.empty() && messages.back() == '\n')
            messages.pop_back();
        throw RenderException("transform error" + (messages.empty() ? "" : ": " + messages));
    }
    return result;
}

std::string serialize(Doc result, xsltStylesheetPtr style) {
    xmlChar* buffer = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&buffer, &length, result.get(), style) != 0)
        throw RenderException("transform output error");
    result.reset();
    std::string html =
        buffer ? std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length))
               : std::string();
    xmlFree(buffer);
    return html;
}

// Takes the document: it is freed as soon as the result exists, so that a large page does not
// hold both trees and the output text at once.
std::string applyWhole(StylesheetCache::Lease style, Doc doc) {
    std::unique_ptr<Transform> transform = prepare(std::move(style), doc.get());
    Doc result = transformTree(*transform, doc.get());
    transform->context.reset();
    doc.reset();
    return serialize(std::move(result), transform->style.get());
}

// A page of many records is transformed in parts on several threads when its theme takes these
// parameters: each part renders the page with only the records at positions first to last
// (1-based), set off by two comments holding the mark, and the parts' records are joined into
// the first part's page.
constexpr const char* PartFirst = "bryndle-part-first";
constexpr const char* PartLast = "bryndle-part-last";
constexpr const char* PartMarkName = "bryndle-part-mark";
// Fewer records are not worth a thread of their own.
constexpr size_t RecordsPerPart = 250;
constexpr size_t MaxParts = 4;

bool takesParts(xsltStylesheetPtr style) {
    for (xsltStylesheetPtr sheet = style; sheet; sheet = xsltNextImport(sheet))
        for (xsltStackElemPtr variable = sheet->variables; variable; variable = variable->next)
            if (variable->comp && variable->comp->type == XSLT_FUNC_PARAM && variable->name &&
                xmlStrEqual(variable->name, BAD_CAST PartFirst))
                return true;
    return false;
}

bool isElement(xmlNodePtr node, const char* name) {
    return node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, BAD_CAST name);
}

size_t countRecords(xmlDocPtr doc) {
    size_t count = 0;
    xmlNodePtr root = xmlDocGetRootElement(doc);
    for (xmlNodePtr items = root ? root->children : nullptr; items; items = items->next)
        if (isElement(items, "ITEMS"))
            for (xmlNodePtr item = items->children; item; item = item->next)
                count += isElement(item, "ITEM") ? 1 : 0;
    return count;
}

size_t partCount(size_t records) {
    const size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, MaxParts);
    return std::clamp<size_t>(records / RecordsPerPart, 1, threads);
}

// A mark no record can hold: the serializer writes a node's text into attribute values with '<'
// unescaped, so a fixed mark could be forged by a record.
std::string newPartMark() {
    return "bryndle-part-" + randomHex(16);
}

size_t countPartMarks(xmlNodePtr node, const std::string& mark) {
    size_t count = 0;
    for (xmlNodePtr child = node->children; child; child = child->next) {
        if (child->type == XML_COMMENT_NODE)
            count += xmlStrEqual(child->content, BAD_CAST mark.c_str()) ? 1 : 0;
        else if (child->type == XML_ELEMENT_NODE)
            count += countPartMarks(child, mark);
    }
    return count;
}

// The first page with the records of every page (the text between its two marks) in place of
// its own.
std::string joinParts(const std::vector<std::string>& pages, const std::string& mark) {
    const std::string comment = "<!--" + mark + "-->";
    std::vector<std::pair<size_t, size_t>> spans;
    size_t size = pages.front().size();
    for (const std::string& page : pages) {
        const size_t begin = page.find(comment);
        const size_t end = begin == std::string::npos ? begin : page.find(comment, begin + 1);
        if (end == std::string::npos || page.find(comment, end + 1) != std::string::npos)
            throw RenderException("transform output error");
        spans.emplace_back(begin + comment.size(), end);
        size += end - begin;
    }
    std::string html;
    html.reserve(size);
    html.append(pages.front(), 0, spans.front().first - comment.size());
    for (size_t i = 0; i < pages.size(); ++i)
        html.append(pages[i], spans[i].first, spans[i].second - spans[i].first);
    html.append(pages.front(), spans.front().second + comment.size());
    return html;
}

// The results of work(0) to work(count - 1), run at once; the first failure is raised once every
// run has ended.
template <typename Result, typename Work> std::vector<Result> inParallel(size_t count, Work work) {
    std::vector<std::future<Result>> others;
    for (size_t i = 1; i < count; ++i)
        others.push_back(std::async(std::launch::async, work, i));
    std::vector<Result> results;
    std::exception_ptr failure;
    for (size_t i = 0; i < count; ++i) {
        try {
            results.push_back(i == 0 ? work(0) : others[i - 1].get());
        } catch (...) {
            failure = failure ? failure : std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
    return results;
}

std::string applyInParts(StylesheetCache::Lease style, const std::string& sheet, Doc doc,
                         size_t records, size_t parts) {
    // Every context stamps the document order into the shared document when it is made, and
    // the first transform would drop its blank text: both are done here, one after another, so
    // that the transforms running at once only read the document. (They still set and clear
    // libxslt's marks of keyed and identified nodes; those steer only templates that match by
    // key() and generate-id(), which a theme that takes parts must not use.)
    std::vector<std::unique_ptr<Transform>> transforms;
    transforms.push_back(prepare(std::move(style), doc.get()));
    for (size_t i = 1; i < parts; ++i)
        transforms.push_back(prepare(loadStylesheet(sheet), doc.get()));
    xsltTransformContextPtr first = transforms.front()->context.get();
    if (xsltNeedElemSpaceHandling(first))
        xsltApplyStripSpaces(first, xmlDocGetRootElement(doc.get()));

    const std::string mark = newPartMark();
    const std::string markValue = "'" + mark + "'";
    auto part = [&](size_t i) {
        const std::string from = std::to_string(i * records / parts + 1);
        const std::string to = std::to_string((i + 1) * records / parts);
        const char* params[] = {PartFirst,    from.c_str(),      PartLast, to.c_str(),
                                PartMarkName, markValue.c_str(), nullptr};
        return transformTree(*transforms[i], doc.get(), params);
    };
    std::vector<Doc> results = inParallel<Doc>(parts, part);
    if (!std::all_of(results.begin(), results.end(), [&](const Doc& result) {
            return countPartMarks(reinterpret_cast<xmlNodePtr>(result.get()), mark) == 2;
        })) {
        // A theme that takes the parameters but does not mark its records.
        results.clear();
        transforms.clear();
        return applyWhole(loadStylesheet(sheet), std::move(doc));
    }
    // As with one transform, the document goes before the output text is made.
    for (auto& transform : transforms)
        transform->context.reset();
    doc.reset();
    const std::vector<std::string> pages = inParallel<std::string>(parts, [&](size_t i) {
        return serialize(std::move(results[i]), transforms[i]->style.get());
    });
    return joinParts(pages, mark);
}

std::string apply(const std::string& sheet, Doc doc) {
    StylesheetCache::Lease style = loadStylesheet(sheet);
    const size_t records = takesParts(style.get()) ? countRecords(doc.get()) : 0;
    const size_t parts = partCount(records);
    if (parts > 1 && !doc->intSubset)
        return applyInParts(std::move(style), sheet, std::move(doc), records, parts);
    return applyWhole(std::move(style), std::move(doc));
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
    Doc doc = parsePage(document, {});
    const std::string sheet = stylesheetOf(doc.get(), baseDir);
    return apply(sheet, std::move(doc));
}

std::string PageRenderer::renderFile(const std::string& path) {
    Doc doc;
    {
        // The text goes once it is parsed.
        const std::string text = readFile(path, "page document");
        doc = parsePage(text, path);
    }
    const std::string sheet =
        stylesheetOf(doc.get(), std::filesystem::path(path).parent_path().string());
    return apply(sheet, std::move(doc));
}

std::string PageRenderer::transform(std::string_view document, const std::string& stylesheet) {
    Doc doc = parsePage(document, {});
    return apply(stylesheet, std::move(doc));
}

} // namespace bryndle
