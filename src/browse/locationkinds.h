#pragma once

#include <QString>

namespace bryndle {

// What a location names, as the pages and windows that route links tell it apart.

inline bool isThreadLocation(const QString& location) {
    return location.startsWith(QLatin1String("shingetsu:"));
}

// A local file, as a URL or as an absolute path.
inline bool isLocalLocation(const QString& location) {
    return location.startsWith(QLatin1String("file:"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1Char('/'));
}

// Locations that would run or show something of their own in place of a document.
inline bool isScriptLocation(const QString& location) {
    for (const char* scheme : {"javascript:", "data:", "about:", "blob:", "filesystem:"})
        if (location.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace bryndle
