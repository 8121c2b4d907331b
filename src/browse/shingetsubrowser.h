#pragma once

#include "browse/cbrowser.h"
#include "browse/qtdisplaytimer.h"
#include "browse/temporarydocuments.h"
#include "store/pagebrowser.h"
#include "store/schema.h"

#include <QMap>
#include <QPointer>
#include <QSet>

#include <memory>

namespace bryndle {

class PageLoader;
class ShingetsuBrowserPage;

// The browser of a thread page. A shingetsu:// location never reaches the engine: it enters the
// browser's own history and goes to a page loader, which fetches the thread (method "get") or
// reads the cache, and hands back the page document; the browser writes that into the
// temporary folder and shows the file. Every other location goes to the engine as it is.
//
// The page is optional (a browser of a window of its own has none); what would go to it is
// dropped then.
class ShingetsuBrowser : public CBrowser, public PageBrowser {
    Q_OBJECT

public:
    static constexpr int CleanupEvery = 100;

    ShingetsuBrowser(QWidget* parent, int style, ShingetsuBrowserPage* page);
    // Abandons its loader: no loader touches a browser that has gone.
    ~ShingetsuBrowser() override;

    bool navigate(const QString& location) override;
    // The history entry at the current position, else the engine's location.
    QString location() const override;
    // Nothing at the first position.
    void back() override;
    void forward() override;

    // Every hundredth document (the first included), the oldest documents of the temporary
    // folder beyond the newest 99 are deleted.
    virtual void cleanupTemporaryFiles();
    void showDocument(const std::string& text, int32_t total) override;
    // The thread's record count that came with the last document.
    virtual int32_t getRecordCount() const { return recordCount_; }
    void showError(const std::string& message) override;
    void showLoading(const std::string& text) override;
    void blinkIcon() override;
    void setPageTitle(const std::string& title) override;
    void setAddress(const std::string& location) override;
    void setIcon(const std::string& image) override;
    bool isDisposed() const override { return disposed_; }

    // Stops and hides the browser and abandons its loader; it is deleted later.
    void dispose();
    // Whether the location (a file: URL or an absolute path, with or without a fragment) is a
    // document this browser wrote, or the page rendered from one.
    bool isOwnDocument(const QString& location) const;
    int historyPosition() const { return position_; }
    const Schema& currentSchema() const { return current_; }
    // The loader of the last navigation, while one exists.
    std::shared_ptr<PageLoader> loader() const { return loader_; }

    // The error page with the message, as the browser shows it.
    static QString errorText(const QString& message);
    static QString loadingText();

private:
    void startLoader(const QString& location);
    QString pathOf(const QString& location) const;

    int position_ = 0;
    QMap<int, QString> history_;
    Schema current_;
    QPointer<ShingetsuBrowserPage> page_;
    int32_t recordCount_ = 0;
    int documentCounter_ = 0;
    bool disposed_ = false;
    QtDisplayTimer timer_;
    TemporaryDocuments documents_;
    QSet<QString> written_;
    std::shared_ptr<PageLoader> loader_;
    // What the status line tells when the document is shown.
    QString note_;
};

} // namespace bryndle
