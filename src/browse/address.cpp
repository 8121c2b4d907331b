#include "browse/address.h"

namespace bryndle {

QString completeAddress(const QString& text) {
    QString address = text;
    if (address.startsWith(QLatin1String("ttp://")))
        address.prepend(QLatin1Char('h'));
    if (!address.contains(QLatin1Char(':')))
        address.prepend(QLatin1String("http://"));
    return address;
}

bool isHistoryEntry(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return false;
    return true;
}

} // namespace bryndle
