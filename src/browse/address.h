#pragma once

#include <QString>

namespace bryndle {

// What a typed address means: "ttp://..." lost its "h", and a text without any colon is a host
// name or a relative web address, so "http://" goes in front. Anything else is left alone.
QString completeAddress(const QString& text);

// Whether the text may be kept in the address history: not empty, no control characters (one
// entry per line in the stored record).
bool isHistoryEntry(const QString& text);

} // namespace bryndle
