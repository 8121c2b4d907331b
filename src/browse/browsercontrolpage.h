#pragma once

#include <QWebEnginePage>

namespace bryndle {

class BrowserControl;

// The engine page of a BrowserControl: hands navigation requests and new-window requests to the
// control, asks for files to upload with the toolkit's dialog, asks the user before granting a
// page a permission, and keeps the pages' console messages to themselves. A page made without
// a control (a spare) loads nothing but "about:blank" or the location it was started at, and opens
// nothing until a control adopts it.
class BrowserControlPage : public QWebEnginePage {
    Q_OBJECT

public:
    BrowserControlPage(QWebEngineProfile* profile, BrowserControl* control);

    // The control becomes the page's owner and receives its requests.
    void adopt(BrowserControl* control);
    BrowserControl* control() const { return control_; }
    // Loads the first location of a page made without a control.
    void start(const QUrl& url);
    // That location, or "about:blank".
    QUrl startUrl() const { return start_; }

    // The question put to the user for a feature, or empty when it is refused without asking.
    static QString permissionQuestion(const QUrl& origin, Feature feature);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    // Through the toolkit's file dialog, over the page's own window (which may stay on top).
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}

private:
    void onPermissionRequested(const QUrl& origin, Feature feature);

    BrowserControl* control_;
    QUrl start_{QStringLiteral("about:blank")};
};

} // namespace bryndle
