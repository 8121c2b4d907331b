#include "browse/browserpostwindow.h"

#include "browse/shingetsubrowser.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QWebEngineHistory>

namespace bryndle {

BrowserPostWindow::BrowserPostWindow() : BrowserChildWindow("BorwserPostWindow") {
    // After the pop-up's own listener, which has routed the change by then.
    connect(getBrowser(), &BrowserControl::locationChanging, this,
            &BrowserPostWindow::onPostLocationChanging);

    backButton_ = new QPushButton(QStringLiteral("戻る"), this);
    backButton_->setObjectName(QStringLiteral("backButton"));
    backButton_->setAutoDefault(false);
    buttonRow()->insertWidget(1, backButton_);
    connect(backButton_, &QPushButton::clicked, this, [this] {
        // The engine's own history: the form page is where the typed text still is.
        if (ShingetsuBrowser* browser = getBrowser())
            browser->page()->triggerAction(QWebEnginePage::Back);
    });
    connect(getBrowser(), &BrowserControl::locationChanged, this,
            &BrowserPostWindow::updateBackButton);
    connect(getBrowser(), &BrowserControl::completed, this, &BrowserPostWindow::updateBackButton);
    updateBackButton();
}

BrowserPostWindow* BrowserPostWindow::openPost(const QString& location,
                                               std::function<void()> finalizer) {
    auto* window = new BrowserPostWindow;
    window->navigate(location);
    window->setFinalizer(std::move(finalizer));
    window->open();
    return window;
}

void BrowserPostWindow::onPostLocationChanging(LocationEvent* event) {
    // A change the pop-up's listener refused does not happen.
    if (!event->doit)
        return;
    ShingetsuBrowser* browser = getBrowser();
    if (browser && browser->isOwnDocument(event->location)) {
        // The form, shown first or again after a refused post.
        changes_ = 1;
        return;
    }
    if (++changes_ <= FormChanges)
        return;
    event->doit = false;
    closeSoon();
}

void BrowserPostWindow::updateBackButton() {
    ShingetsuBrowser* browser = getBrowser();
    const bool onForm = browser && browser->isOwnDocument(browser->BrowserControl::location());
    backButton_->setEnabled(browser && !onForm && browser->page()->history()->canGoBack());
}

} // namespace bryndle
