#pragma once

#include "foundation/exception.h"

#include <string>
#include <string_view>

namespace bryndle {

// A page document or stylesheet that cannot be read, parsed or transformed.
class RenderException : public Exception {
public:
    explicit RenderException(const std::string& message) : Exception(message) {}
};

// Turns a page document into HTML with libxslt (EXSLT functions available), the way a browser
// applies an XSL stylesheet to an XML document. Stylesheets may read local files but never
// write files, make folders or use the network. Safe to use from several threads.
// Compiled stylesheets are kept while their files stay unchanged; the themes' own functions
// (ThemeFunctions) are available to every transform.
class PageRenderer {
public:
    // The href of the document's <?xml-stylesheet type="text/xsl" href="..."?> instruction, its
    // references resolved; a file:// URL becomes its path, a relative path is taken against
    // baseDir. Raises RenderException when the document names none.
    // Reads no further than the root element, so a large document costs little here.
    static std::string stylesheetPath(std::string_view document, const std::string& baseDir = {});
    // The same for a document file, read only as far as its root element; relative paths count
    // from the file's folder.
    static std::string stylesheetPathOfFile(const std::string& path);
    // The HTML of a document text, transformed with the stylesheet it names.
    static std::string render(std::string_view document, const std::string& baseDir = {});
    // The same for a document file; relative stylesheet paths count from the file's folder.
    static std::string renderFile(const std::string& path);
    // The HTML of a document text transformed with the given stylesheet file.
    static std::string transform(std::string_view document, const std::string& stylesheet);
};

} // namespace bryndle
