#pragma once

#include <QObject>

class QWebEngineProfile;
class QWebEngineSettings;

namespace bryndle {

// The engine profile of thread pages and of everything shown from the temporary folder: kept
// in memory only and refusing every cookie, no script, and no request that leaves the machine
// except a navigation (which the pages' location listeners route). Local documents may still
// navigate to web addresses, so that links and the node's posting form reach the node.
class ThreadProfile : public QObject {
    Q_OBJECT

public:
    // Made on first use; lives until the application object goes.
    static ThreadProfile& instance();
    QWebEngineProfile* profile() const { return profile_; }

    // The settings of such a page (the profile's, and again on each page).
    static void applySettings(QWebEngineSettings* settings);
    // Lets the profile's pages follow links to threads (which their pages then route).
    static void serveThreadLinks(QWebEngineProfile* profile);

private:
    explicit ThreadProfile(QObject* parent);

    QWebEngineProfile* profile_;
};

} // namespace bryndle
