#pragma once

#include <QMainWindow>

#include <functional>

namespace bryndle {

// A top-level window whose close requests and minimising are handed to its owner.
class Shell : public QMainWindow {
public:
    explicit Shell(QWidget* parent = nullptr);

    // Asked on every close request; false cancels the close.
    void setCloseHandler(std::function<bool()> handler) { closeHandler_ = std::move(handler); }
    // Runs after the window has been minimised.
    void setIconifyHandler(std::function<void()> handler) { iconifyHandler_ = std::move(handler); }
    // Runs after a close that was not cancelled.
    void setClosedHandler(std::function<void()> handler) { closedHandler_ = std::move(handler); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::function<bool()> closeHandler_;
    std::function<void()> iconifyHandler_;
    std::function<void()> closedHandler_;
};

} // namespace bryndle
