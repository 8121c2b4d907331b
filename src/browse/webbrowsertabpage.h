#pragma once

#include "browse/browsertabpage.h"
#include "browse/cbrowser.h"

#include <QPointer>

namespace bryndle {

// A tab showing an ordinary web page (any location that is not shingetsu://). Scripts run as
// the engine's defaults have them; cookies and cache live in the web profile.
class WebBrowserTabPage : public BrowserTabPage {
    Q_OBJECT

public:
    // The location is not loaded here: open() does that.
    WebBrowserTabPage(const QString& location, TabFolder* folder, int style);

    bool isLoadingFlag() const { return loading_; }
    void setLoading(bool loading) { loading_ = loading; }

    QString kind() const override { return QStringLiteral("WebBrowserTabPage"); }
    void open(const QString& location) override;
    QString getLocation() const override;
    void refresh() override;
    void forward() override;
    void back() override;
    void stop() override;
    bool isLoading() const override { return isLoadingFlag(); }
    bool isForwardEnabled() const override;
    bool isBackEnabled() const override;
    CBrowser* getBrowser() const override;
    void dispose() override;

    // The tab text for a page title: an address or a local path shows its last part.
    static QString tabTitle(const QString& title);
    // The file extension of a location, or empty when its last "." is followed by ":" or "\".
    static QString locationExtension(const QString& location);

protected:
    void createContents(QWidget* contents) override;

private:
    void onTitle(const QString& title);
    void onLocationChanging(LocationEvent* event);
    void onLocationChanged(const QString& location);
    void onNewWindow(WindowEvent* event);
    void onStatusText(const QString& text);
    void onProgress(int current, int total);
    // The load has ended: the tab shows the image of the location's file type.
    void onCompleted();
    void setImageNamed(const std::string& name);

    bool closed_ = false;
    QPointer<CBrowser> browser_;
    bool loading_ = false;
    int imageCounter_ = 0;
};

} // namespace bryndle
