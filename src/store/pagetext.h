#pragma once

#include <string>
#include <string_view>

namespace bryndle {

// Texts for the page document. Whatever a node sends, what these return is well-formed XML
// character data: no field can add markup or break the document.
struct PageText {
    // & < > " escaped as entity references and CR as a character reference; a byte sequence
    // that is not UTF-8 and a character XML does not allow (C0 controls other than tab, LF and
    // CR; U+FFFE, U+FFFF) become U+FFFD.
    static std::string escape(std::string_view text);
    // A node text, which arrives HTML-escaped, as the characters it stands for: named
    // references of HTML 4 (&hearts; &lt; &amp; ...), decimal (&#9829;) and hexadecimal
    // (&#x2665;) references. A reference that is unknown, lacks its ';' or names a character
    // XML does not allow stays as it was written.
    static std::string decodeEntities(std::string_view text);
    // decodeEntities, then escape.
    static std::string nodeText(std::string_view text);
    // A record body as LINE elements: split at every "<br>" (exactly these lower-case
    // characters), each line a node text with tabs as four spaces; an empty body gives one
    // empty LINE.
    static std::string messageLines(std::string_view body);
    // Whether the code point may appear in an XML 1.0 document.
    static bool isXmlChar(char32_t c);
    static void appendUtf8(std::string& out, char32_t c);
};

} // namespace bryndle
