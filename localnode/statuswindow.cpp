#include "statuswindow.h"

#include <QAbstractNativeEventFilter>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <xcb/xcb.h>

namespace bryndle {

// Sees the X11 map and unmap notifications of the window before Qt handles them. Qt does not
// expect its hidden window to be mapped by another program: it would neither paint nor know
// it is visible, so the widget is shown or hidden to match the native state.
class StatusWindow::MapWatcher : public QAbstractNativeEventFilter {
public:
    explicit MapWatcher(StatusWindow& window) : window_(window) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        auto* event = static_cast<xcb_generic_event_t*>(message);
        uint8_t kind = event->response_type & 0x7f;
        if (kind == XCB_MAP_NOTIFY) {
            auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (map->window == window_.winId()) {
                window_.followNativeMapping(true);
            }
        } else if (kind == XCB_UNMAP_NOTIFY) {
            auto* unmap = reinterpret_cast<xcb_unmap_notify_event_t*>(event);
            if (unmap->window == window_.winId()) {
                window_.followNativeMapping(false);
            }
        }
        return false;
    }

private:
    StatusWindow& window_;
};

namespace {

QtMessageHandler previousHandler = nullptr;

// Showing the widget after another program mapped its window makes Qt note that the window
// is mapped already; that is expected here and not worth a line on standard error.
void dropMappedWindowNotes(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (message.contains(QLatin1String("called on mapped window"))) {
        return;
    }
    if (previousHandler) {
        previousHandler(type, context, message);
    }
}

} // namespace

StatusWindow::StatusWindow(NodeStore& store, NodeActivity& activity, int port, QWidget* parent)
    : QWidget(parent), store_(store), activity_(activity), port_(port) {
    setWindowTitle(QStringLiteral("Bryndle ローカルノード"));
    portLabel_ = new QLabel(this);
    threadLabel_ = new QLabel(this);
    recordLabel_ = new QLabel(this);
    requests_ = new QListWidget(this);
    requests_->setSelectionMode(QAbstractItemView::NoSelection);

    auto* counts = new QFormLayout;
    counts->addRow(QStringLiteral("ポート"), portLabel_);
    counts->addRow(QStringLiteral("スレッド数"), threadLabel_);
    counts->addRow(QStringLiteral("レコード数"), recordLabel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(counts);
    layout->addWidget(new QLabel(QStringLiteral("最近の要求"), this));
    layout->addWidget(requests_, 1);
    resize(480, 340);

    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &StatusWindow::refresh);
    refresh();
}

StatusWindow::~StatusWindow() {
    if (watcher_) {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            app->removeNativeEventFilter(watcher_);
        }
        delete watcher_;
    }
}

void StatusWindow::watchNativeMapping() {
    if (watcher_ || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    watcher_ = new MapWatcher(*this);
    QCoreApplication::instance()->installNativeEventFilter(watcher_);
    if (!previousHandler) {
        previousHandler = qInstallMessageHandler(dropMappedWindowNotes);
    }
}

void StatusWindow::followNativeMapping(bool mapped) {
    mapped_ = mapped;
    QMetaObject::invokeMethod(this, &StatusWindow::syncVisibility, Qt::QueuedConnection);
}

void StatusWindow::syncVisibility() {
    // Only the last native state counts: a map quickly followed by an unmap leaves it hidden.
    if (mapped_ && !isVisible()) {
        show();
    } else if (!mapped_ && isVisible()) {
        hide();
    }
}

void StatusWindow::showEvent(QShowEvent* event) {
    refresh();
    QWidget::showEvent(event);
}

void StatusWindow::closeEvent(QCloseEvent* event) {
    // Closing only hides the window; the node keeps running.
    event->ignore();
    hide();
}

void StatusWindow::refresh() {
    portLabel_->setText(QString::number(port_));
    threadLabel_->setText(QString::number(store_.threadCount()));
    recordLabel_->setText(QString::number(store_.recordCount()));
    requests_->clear();
    for (const NodeRequestEntry& entry : activity_.latest()) {
        QString time =
            QDateTime::fromSecsSinceEpoch(entry.time).toString(QStringLiteral("HH:mm:ss"));
        requests_->addItem(
            QStringLiteral("%1  %2 %3  %4")
                .arg(time, QString::fromStdString(entry.method), QString::fromStdString(entry.path))
                .arg(entry.status));
    }
    if (isVisible()) {
        timer_->start();
    } else {
        timer_->stop();
    }
}

QString StatusWindow::portText() const {
    return portLabel_->text();
}

QString StatusWindow::threadText() const {
    return threadLabel_->text();
}

QString StatusWindow::recordText() const {
    return recordLabel_->text();
}

QStringList StatusWindow::requestLines() const {
    QStringList lines;
    for (int i = 0; i < requests_->count(); ++i) {
        lines << requests_->item(i)->text();
    }
    return lines;
}

} // namespace bryndle
