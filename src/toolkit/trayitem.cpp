#include "toolkit/trayitem.h"

#include "toolkit/eventloop.h"

#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace bryndle {

TrayItem::TrayItem() : icon_(std::make_unique<QSystemTrayIcon>()) {
    QObject::connect(icon_.get(), &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Context) {
                             if (menuDetect_)
                                 EventLoop::protect(menuDetect_);
                         } else if (reason == QSystemTrayIcon::Trigger ||
                                    reason == QSystemTrayIcon::DoubleClick) {
                             if (selection_)
                                 EventLoop::protect(selection_);
                         }
                     });
}

TrayItem::~TrayItem() = default;

void TrayItem::setImage(const QPixmap& image) {
    if (icon_)
        icon_->setIcon(QIcon(image));
}

void TrayItem::setToolTip(const QString& text) {
    if (icon_)
        icon_->setToolTip(text);
}

QString TrayItem::toolTip() const {
    return icon_ ? icon_->toolTip() : QString();
}

void TrayItem::show() {
    if (icon_)
        icon_->show();
}

bool TrayItem::isVisible() const {
    return icon_ && icon_->isVisible();
}

void TrayItem::dispose() {
    if (!icon_)
        return;
    icon_->hide();
    icon_.reset();
}

namespace {
std::optional<bool> fixedAvailability;
}

bool TrayItem::isAvailable() {
    if (fixedAvailability)
        return *fixedAvailability;
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayItem::setAvailable(std::optional<bool> available) {
    fixedAvailability = available;
}

} // namespace bryndle
