#include "browse/opentabs.h"

#include "browse/browsertabpage.h"
#include "browse/tabbrowser.h"
#include "browse/tabfolder.h"
#include "foundation/asciitext.h"
#include "foundation/variant.h"
#include "store/schema.h"

namespace bryndle {

namespace {

constexpr QLatin1Char Separator('\n');

} // namespace

OpenTabs::OpenTabs() : ControlBase("OpenTabs") {}

void OpenTabs::saveState(const TabBrowser& browser) {
    const TabFolder* folder = browser.tabFolder();
    QStringList locations;
    int selected = -1;
    for (int i = 0; folder && i < folder->count(); ++i) {
        const BrowserTabPage* page = folder->pageAt(i);
        const QString location = page ? page->getLocation() : QString();
        // A tab that never had a location has nothing to come back to.
        if (location.isEmpty() || location.contains(Separator))
            continue;
        if (i == folder->currentIndex())
            selected = static_cast<int>(locations.size());
        locations.append(location);
    }
    save(*makeArray(int64_t{selected}, locations.join(Separator).toStdString()));
}

void OpenTabs::loadState(TabBrowser& browser) {
    VArrayPtr record;
    try {
        record = load();
    } catch (const std::exception&) {
        // Nothing stored yet.
        return;
    }
    if (record->size() != 2)
        return;
    const auto values = record->values();
    int64_t selected = -1;
    QStringList locations;
    try {
        selected = values[0]->toLong();
        locations =
            QString::fromStdString(values[1]->toString()).split(Separator, Qt::SkipEmptyParts);
    } catch (const std::exception&) {
        return;
    }
    std::vector<BrowserTabPage*> pages;
    for (const QString& location : std::as_const(locations))
        pages.push_back(browser.open(restoredLocation(location)));
    TabFolder* folder = browser.tabFolder();
    if (selected >= 0 && selected < static_cast<int64_t>(pages.size()) && folder) {
        const int index = pages[static_cast<size_t>(selected)]->getTabItem();
        if (index >= 0)
            folder->setCurrentIndex(index);
    }
}

QString OpenTabs::restoredLocation(const QString& location) {
    if (!location.startsWith(
            QLatin1String(Schema::Prefix.data(), static_cast<qsizetype>(Schema::Prefix.size()))))
        return location;
    try {
        Schema schema = Schema::parse(location.toStdString());
        if (lowerAscii(schema.method) != "get")
            return location;
        schema.method = "cache";
        QString restored = QString::fromStdString(schema.toLocation());
        if (!schema.fragment.empty())
            restored += QLatin1Char('#') + QString::fromStdString(schema.fragment);
        return restored;
    } catch (const std::exception&) {
        // Not a location the thread page can read: it shows its error for it as it is.
        return location;
    }
}

} // namespace bryndle
