#pragma once

#include <QString>

namespace bryndle {

// A text from a node as a widget shows it: plain text in which control characters cannot act.
// C0 and C1 controls and DEL become "\x" and two hexadecimal digits (an escape shows as \x1b),
// line and paragraph separators and the bidirectional controls "\u" and four digits (U+202E
// shows as \u202e), so a title cannot break its line, move the cursor or reverse what follows.
inline QString visibleControls(const QString& text) {
    auto escaped = [](char16_t c) {
        return c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x2028 || c == 0x2029 ||
               (c >= 0x202a && c <= 0x202e) || (c >= 0x2066 && c <= 0x2069);
    };
    bool any = false;
    for (QChar c : text)
        any = any || escaped(c.unicode());
    if (!any)
        return text;
    QString shown;
    shown.reserve(text.size() + 8);
    for (QChar c : text) {
        const char16_t code = c.unicode();
        if (!escaped(code))
            shown += c;
        else if (code < 0x100)
            shown += QStringLiteral("\\x%1").arg(code, 2, 16, QLatin1Char('0'));
        else
            shown += QStringLiteral("\\u%1").arg(code, 4, 16, QLatin1Char('0'));
    }
    return shown;
}

} // namespace bryndle
