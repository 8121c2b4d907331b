#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QPixmap;
class QSystemTrayIcon;

namespace bryndle {

// The icon in the desktop's tray. Works without a tray host too (offscreen, plain X servers):
// the item then exists but shows nothing, and appears if a host starts later.
class TrayItem {
public:
    TrayItem();
    ~TrayItem();

    void setImage(const QPixmap& image);
    void setToolTip(const QString& text);
    QString toolTip() const;
    // A click on the icon.
    void setSelectionHandler(std::function<void()> handler) { selection_ = std::move(handler); }
    // The request for the icon's context menu.
    void setMenuDetectHandler(std::function<void()> handler) { menuDetect_ = std::move(handler); }
    void show();
    bool isVisible() const;
    void dispose();
    bool isDisposed() const { return !icon_; }
    // Whether the desktop has a tray host right now.
    static bool isAvailable();
    // Fixes the answer of isAvailable() (for tests); std::nullopt asks the desktop again.
    static void setAvailable(std::optional<bool> available);
    QSystemTrayIcon* icon() const { return icon_.get(); }

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::function<void()> selection_;
    std::function<void()> menuDetect_;
};

} // namespace bryndle
