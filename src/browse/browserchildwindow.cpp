#include "browse/browserchildwindow.h"

#include "browse/browsertabpage.h"
#include "browse/locationkinds.h"
#include "browse/shingetsubrowser.h"
#include "foundation/exception.h"
#include "toolkit/plaintext.h"
#include "toolkit/screenplacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QList>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>

#include <algorithm>
#include <mutex>

namespace bryndle {

namespace {

constexpr Qt::WindowFlags childWindowFlags =
    Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint;

// The windows of both classes open now, guarded by their lock.
std::mutex& windowLock() {
    static std::mutex lock;
    return lock;
}

int& openWindows() {
    static int count = 0;
    return count;
}

QList<BrowserChildWindow*>& registry() {
    static QList<BrowserChildWindow*> windows;
    return windows;
}

// A stored coordinate as a widget takes it; values far outside any screen stay far outside.
int coordinate(const VariantPtr& value) {
    return static_cast<int>(std::clamp<int64_t>(value->toLong(), -1000000, 1000000));
}

} // namespace

BrowserChildWindow::BrowserChildWindow() : BrowserChildWindow("BorwserChildWindow") {}

BrowserChildWindow::BrowserChildWindow(const std::string& recordName)
    : QWidget(nullptr, childWindowFlags), ControlBase(recordName) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);

    browser_ = new ShingetsuBrowser(this, 0, nullptr);
    layout->addWidget(browser_, 1);
    connect(browser_, &BrowserControl::titleChanged, this,
            [this](const QString& title) { setWindowTitle(visibleControls(title)); });
    connect(browser_, &BrowserControl::closeRequested, this, &BrowserChildWindow::closeSoon);
    connect(browser_, &BrowserControl::locationChanging, this,
            &BrowserChildWindow::onLocationChanging);
    // The handler hands over the new window's browser before the engine's call returns.
    connect(browser_, &BrowserControl::newWindow, this, &BrowserChildWindow::onNewWindow,
            Qt::DirectConnection);
    connect(browser_->page(), &QWebEnginePage::loadingChanged, this,
            &BrowserChildWindow::onLoadingChanged);

    buttons_ = new QHBoxLayout;
    buttons_->addStretch(1);
    closeButton_ = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    closeButton_->setDefault(true);
    buttons_->addWidget(closeButton_);
    layout->addLayout(buttons_);
    connect(closeButton_, &QPushButton::clicked, this, &BrowserChildWindow::closeWindow);
}

BrowserChildWindow::~BrowserChildWindow() {
    // Deleted without being closed (the program ending): counted out, its finalizer not run.
    if (!disposed_) {
        finalizer_ = nullptr;
        rememberGeometry();
        onDisposed();
    }
}

// ---- the windows of the process ---------------------------------------------------------

BrowserChildWindow* BrowserChildWindow::openNewWindow(BrowserTabPage* owner, WindowEvent* event) {
    auto* window = new BrowserChildWindow;
    window->setOwnerPage(owner);
    event->browser = window->getBrowser();
    window->open();
    return window;
}

void BrowserChildWindow::openDeletePage(const QString& url, std::function<void()> finalizer) {
    auto* window = new BrowserChildWindow;
    window->setCloseOnNavigate(true);
    window->setFinalizer(std::move(finalizer));
    window->navigate(url);
    window->open();
}

int BrowserChildWindow::openCount() {
    std::lock_guard lock(windowLock());
    return openWindows();
}

void BrowserChildWindow::closeAll() {
    QList<QPointer<BrowserChildWindow>> windows;
    {
        std::lock_guard lock(windowLock());
        for (BrowserChildWindow* window : registry())
            windows.append(window);
    }
    for (const QPointer<BrowserChildWindow>& window : windows) {
        if (!window)
            continue;
        window->finalizer_ = nullptr;
        window->close();
        // Gone now: the event loop that would delete it later is ending.
        delete window.data();
    }
}

// ---- opening and closing ----------------------------------------------------------------

void BrowserChildWindow::open() {
    if (counted_ || disposed_) {
        raise();
        return;
    }
    {
        std::lock_guard lock(windowLock());
        restoreGeometry(openWindows());
        ++openWindows();
        registry().append(this);
        counted_ = true;
    }
    if (location_)
        move(*location_);
    if (size_)
        resize(*size_);
    show();
}

void BrowserChildWindow::restoreGeometry(int openWindows) {
    std::optional<QRect> placed;
    try {
        const VArrayPtr record = load();
        if (record->size() == 4) {
            const auto values = record->values();
            const int shift = (openWindows % CascadeLength) * CascadeStep +
                              (openWindows / CascadeLength) * CascadeRound;
            placed =
                placeOnScreen(QRect(coordinate(values[2]) + shift, coordinate(values[3]) + shift,
                                    coordinate(values[0]), coordinate(values[1])));
        }
    } catch (const Exception&) {
        // Nothing stored yet, or a record that does not read as numbers.
    }
    if (!placed) {
        resize(DefaultWidth, DefaultHeight);
        return;
    }
    resize(placed->size());
    move(placed->topLeft());
}

void BrowserChildWindow::closeWindow() {
    close();
}

void BrowserChildWindow::closeSoon() {
    if (closing_)
        return;
    closing_ = true;
    QTimer::singleShot(0, this, &BrowserChildWindow::closeWindow);
}

void BrowserChildWindow::closeEvent(QCloseEvent* event) {
    rememberGeometry();
    QWidget::closeEvent(event);
    if (event->isAccepted())
        onDisposed();
}

void BrowserChildWindow::keyPressEvent(QKeyEvent* event) {
    // A return on the window's own controls goes to the default button; one the page left
    // unused does not, so a stray return cannot throw away a form being filled in.
    QWidget* focus = QApplication::focusWidget();
    const bool inPage = focus && browser_ && browser_->isAncestorOf(focus);
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier && !inPage) {
        closeWindow();
        return;
    }
    QWidget::keyPressEvent(event);
}

void BrowserChildWindow::rememberGeometry() {
    if (!counted_)
        return;
    location_ = pos();
    size_ = size();
}

void BrowserChildWindow::onDisposed() {
    if (disposed_)
        return;
    disposed_ = true;
    if (auto finalizer = std::exchange(finalizer_, nullptr)) {
        try {
            finalizer();
        } catch (...) {
            // What a finalizer leaves undone must not keep the window from going.
        }
    }
    if (browser_) {
        browser_->disconnect(this);
        browser_->page()->disconnect(this);
        browser_->dispose();
        browser_ = nullptr;
    }
    releaseWindow();
}

void BrowserChildWindow::releaseWindow() {
    std::lock_guard lock(windowLock());
    if (!counted_)
        return;
    counted_ = false;
    registry().removeAll(this);
    if (--openWindows() == 0)
        saveGeometry();
}

void BrowserChildWindow::saveGeometry() {
    if (!size_ || !location_)
        return;
    try {
        save(*makeArray(int64_t{size_->width()}, int64_t{size_->height()}, int64_t{location_->x()},
                        int64_t{location_->y()}));
    } catch (const Exception&) {
        // The window goes all the same; the next one starts from the record it finds.
    }
}

// ---- settings -----------------------------------------------------------------------------

void BrowserChildWindow::setFinalizer(std::function<void()> finalizer) {
    finalizer_ = std::move(finalizer);
}

void BrowserChildWindow::setOwnerPage(BrowserTabPage* page) {
    owner_ = page;
    hadOwner_ = page != nullptr;
}

BrowserTabPage* BrowserChildWindow::ownerPage() const {
    return owner_ && !owner_->isDisposed() ? owner_.data() : nullptr;
}

void BrowserChildWindow::setSize(const QSize& size) {
    size_ = size;
}

void BrowserChildWindow::setLocation(const QPoint& location) {
    location_ = location;
}

void BrowserChildWindow::navigate(const QString& location) {
    if (browser_)
        browser_->navigate(location);
}

QString BrowserChildWindow::getLocation() const {
    return browser_ ? browser_->location() : QString();
}

ShingetsuBrowser* BrowserChildWindow::getBrowser() const {
    return browser_;
}

void BrowserChildWindow::setCloseOnNavigate(bool close) {
    closeOnNavigate_ = close;
}

bool BrowserChildWindow::closeOnNavigate() const {
    return closeOnNavigate_;
}

// ---- listeners ----------------------------------------------------------------------------

void BrowserChildWindow::onLocationChanging(LocationEvent* event) {
    if (!event->doit)
        return;
    if (closeOnNavigate_ && navigations_++ != 0) {
        // The page's form goes to the node; closing now could drop it unsent. A further change
        // (the node's redirect) or the answer's page means the node has answered.
        if (awaitingAnswer_) {
            event->doit = false;
            closeSoon();
        }
        awaitingAnswer_ = true;
        return;
    }
    const QString location = event->location;
    if (isThreadLocation(location)) {
        event->doit = false;
        // Loaded once the engine's call has returned.
        QTimer::singleShot(0, this, [this, location] { navigate(location); });
        return;
    }
    if ((browser_ && browser_->isOwnDocument(location)) || location == QLatin1String("about:blank"))
        return;
    if (isLocalLocation(location) || isScriptLocation(location)) {
        // Only the window's own documents are shown from the disk, and nothing runs.
        event->doit = false;
        return;
    }
    QPointer<BrowserTabPage> owner = ownerPage();
    if (!owner)
        return;
    event->doit = false;
    QTimer::singleShot(0, this, [owner, location] {
        if (!owner || owner->isDisposed())
            return;
        if (BrowserTabPage* page = owner->openNewPage(location, 0))
            page->open(location);
    });
}

void BrowserChildWindow::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    if (!awaitingAnswer_ || info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
        return;
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
        closeSoon();
        return;
    }
    // No answer, or the node refused: the window stays on what the engine shows.
    awaitingAnswer_ = false;
}

void BrowserChildWindow::onNewWindow(WindowEvent* event) {
    // The page that owned this window has closed: nothing opens for it.
    if (hadOwner_ && !ownerPage())
        return;
    openNewWindow(ownerPage(), event);
}

} // namespace bryndle
