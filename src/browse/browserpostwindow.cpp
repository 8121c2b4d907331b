#include "browse/browserpostwindow.h"

#include "browse/shingetsubrowser.h"

#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QPushButton>
#include <QWebEngineHistory>
#include <QWebEngineScript>

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
    connect(getBrowser(), &BrowserControl::completed, this, &BrowserPostWindow::onCompleted);
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
    if (++changes_ <= FormChanges) {
        if (changes_ == FormChanges && showsForm())
            keepTypedText();
        return;
    }
    event->doit = false;
    closeSoon();
}

bool BrowserPostWindow::showsForm() const {
    ShingetsuBrowser* browser = getBrowser();
    return browser && browser->isOwnDocument(browser->BrowserControl::location());
}

void BrowserPostWindow::onCompleted() {
    updateBackButton();
    if (showsForm())
        restoreTypedText();
}

void BrowserPostWindow::updateBackButton() {
    ShingetsuBrowser* browser = getBrowser();
    backButton_->setEnabled(browser && !showsForm() && browser->page()->history()->canGoBack());
}

// The window's own script, apart from the page (which runs none): the form is still shown while
// its submission waits for the node.
void BrowserPostWindow::keepTypedText() {
    QPointer<BrowserPostWindow> self(this);
    getBrowser()->page()->runJavaScript(
        QStringLiteral("Array.prototype.map.call("
                       "document.querySelectorAll('form input[type=text], form textarea'),"
                       " function(field) { return [field.name, field.value]; })"),
        QWebEngineScript::ApplicationWorld, [self](const QVariant& fields) {
            if (self && !fields.toList().isEmpty())
                self->typed_ = fields.toList();
        });
}

void BrowserPostWindow::restoreTypedText() {
    if (typed_.isEmpty())
        return;
    const QByteArray typed =
        QJsonDocument(QJsonArray::fromVariantList(typed_)).toJson(QJsonDocument::Compact);
    // Fields the engine filled in again itself are left as they are.
    getBrowser()->page()->runJavaScript(
        QStringLiteral("%1.forEach(function(kept) {"
                       " var field = document.getElementsByName(kept[0])[0];"
                       " if (field && !field.value) field.value = kept[1]; })")
            .arg(QString::fromUtf8(typed)),
        QWebEngineScript::ApplicationWorld);
}

} // namespace bryndle
