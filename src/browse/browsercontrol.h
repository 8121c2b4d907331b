#pragma once

#include <QHash>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWidget>

#include <memory>

class QWebEngineProfile;
class QWebEngineView;

namespace bryndle {

class BrowserControl;
class BrowserControlPage;

// A location about to be shown; a handler clears doit to cancel it.
struct LocationEvent {
    QString location;
    bool doit = true;
};

// A page asks for a new window; a handler sets the browser that is to receive it (none blocks
// the window).
struct WindowEvent {
    BrowserControl* browser = nullptr;
};

// The embedded HTML browser on Qt WebEngine. Locations are texts: web addresses, "about:blank",
// or the absolute path of a local file with an optional "#fragment". A local XML document that
// names an XSL stylesheet is transformed here (libxslt) and its HTML is shown from a file beside
// it, so links, anchors and relative paths work as in a file:/// page of that folder; every
// location the control reports for it is the XML document's, fragment included. The transform
// runs in a worker thread, so a large document leaves the window responsive; whatever the
// control shows next (a navigation, a text, a refresh, stop) drops a transform still under way.
class BrowserControl : public QWidget {
    Q_OBJECT

public:
    // No profile: the engine's default, off-the-record one. A spare page made ahead for the same
    // profile is taken over (the control owns it); its start leaves no trace in the history once
    // the first page has loaded.
    BrowserControl(QWidget* parent, int style, QWebEngineProfile* profile = nullptr,
                   BrowserControlPage* spare = nullptr);
    ~BrowserControl() override;

    virtual bool navigate(const QString& location);
    // The location shown (or being shown); empty before the first navigation.
    virtual QString location() const;
    virtual void back();
    virtual void forward();
    void refresh();
    void stop();
    bool isBackEnabled() const;
    bool isForwardEnabled() const;
    // Shows the HTML text in place of a document; its location reads "about:blank".
    void setText(const QString& html);

    int style() const { return style_; }
    QWebEngineView* view() const { return view_; }
    QWebEnginePage* page() const;
    // The file that holds the HTML of a transformed XML document.
    static QString renderedFile(const QString& documentPath);

signals:
    void titleChanged(const QString& title);
    void locationChanging(bryndle::LocationEvent* event);
    void locationChanged(const QString& location);
    void newWindow(bryndle::WindowEvent* event);
    void statusTextChanged(const QString& text);
    void progressChanged(int current, int total);
    void completed();
    void closeRequested();

private:
    friend class BrowserControlPage;
    bool onNavigationRequest(const QUrl& url, QWebEnginePage::NavigationType type, bool mainFrame);
    QWebEnginePage* onNewWindow();

    // Drops a taken spare's start from the history once a page has replaced it.
    void forgetSpareStart();
    struct RenderJob;

    // A local XML document that names a stylesheet.
    bool isStyledDocument(const QUrl& url) const;
    // In a worker: writes the document's HTML beside it unless the job has been dropped; the
    // error text, or empty.
    static QString render(const std::shared_ptr<RenderJob>& job);
    // Renders the document in a worker, then loads it (an error page in its place when that
    // fails); announced: locationChanging has already run for it; reload: the page shown is
    // the document's, reloaded where it stands.
    void showDocument(const QString& path, const QString& fragment, bool announced,
                      bool reload = false);
    void showRendered(const RenderJob& job, const QString& error);
    // Drops the transform under way: its page is never shown, nor left on disk.
    void dropRender();
    // The location text of an engine URL: a rendered file reads as its XML document.
    QString shownLocation(const QUrl& url) const;
    QString shownTitle(const QString& title) const;

    QWebEngineView* view_;
    BrowserControlPage* page_;
    int style_;
    // Rendered HTML file -> its XML document.
    QHash<QString, QString> documents_;
    // A load already announced through locationChanging.
    QUrl approved_;
    // The transform under way.
    std::shared_ptr<RenderJob> job_;
    // A spare page taken over shows its start until the first navigation.
    bool pristine_ = false;
    // Its start is still in the history.
    bool pruneHistory_ = false;
    // The location a taken spare started at.
    QUrl start_;
};

} // namespace bryndle
