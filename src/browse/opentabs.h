#pragma once

#include "foundation/controlbase.h"

#include <QString>
#include <QStringList>

namespace bryndle {

class TabBrowser;

// The tabs open when the client ended, brought back at its next start: one record in
// "environ.db" holding the selected tab's index and the tabs' locations in folder order, joined
// with "\n". A thread tab comes back from the cache alone, without waiting for the node.
class OpenTabs : public ControlBase {
public:
    OpenTabs();

    // Stores the locations of the tab browser's tabs and which one is selected.
    virtual void saveState(const TabBrowser& browser);
    // Opens the stored tabs in the tab browser and selects the one that was selected; a record
    // of another length, or none, opens nothing.
    virtual void loadState(TabBrowser& browser);

    // The location a tab is opened with at the start: a thread location that asks the node
    // ("get") reads the cache instead; anything else stays as it is.
    static QString restoredLocation(const QString& location);
};

} // namespace bryndle
