#pragma once

#include "nodeactivity.h"
#include "nodestore.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QTimer;

namespace bryndle {

// The node's status window: port, thread and record counts, the last requests. It starts
// hidden; another program may map or unmap its X11 window, and the widget follows.
class StatusWindow : public QWidget {
    Q_OBJECT

public:
    StatusWindow(NodeStore& store, NodeActivity& activity, int port, QWidget* parent = nullptr);
    ~StatusWindow() override;

    // Reads the counts and the request list again.
    void refresh();
    // The native window was mapped (true) or unmapped (false) by the window system; the
    // widget is shown or hidden to match, once the events queued now have run.
    void followNativeMapping(bool mapped);
    // Watches the X11 map and unmap events of this window (no-op on other platforms).
    void watchNativeMapping();

    QString portText() const;
    QString threadText() const;
    QString recordText() const;
    QStringList requestLines() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void syncVisibility();

    NodeStore& store_;
    NodeActivity& activity_;
    int port_;
    QLabel* portLabel_;
    QLabel* threadLabel_;
    QLabel* recordLabel_;
    QListWidget* requests_;
    QTimer* timer_;
    bool mapped_ = false;
    class MapWatcher;
    MapWatcher* watcher_ = nullptr;
};

} // namespace bryndle
