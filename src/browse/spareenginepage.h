#pragma once

#include <QObject>
#include <QPointer>

namespace bryndle {

class BrowserControlPage;

// The engine page of the next thread browser, made ahead while the window is idle: the thread
// profile and its settings applied and its renderer process started on an empty document, so
// that opening a thread need not wait for a process. At most one spare exists; it is never shown
// and nothing of it reaches a browser before one takes it. Once the taker has loaded its first
// page (or has gone), the next spare is made when the event loop is idle again. Costs one
// renderer process while it waits.
class SpareEnginePage : public QObject {
    Q_OBJECT

public:
    // The process's maker of spares while it lives (the newest one made); its first spare
    // follows once the event loop is idle.
    explicit SpareEnginePage(QObject* parent);
    ~SpareEnginePage() override;

    // The ready spare, handed over to the caller, or null when there is none ready.
    static BrowserControlPage* take();
    // Whether a spare has started its renderer and waits to be taken.
    bool isReady() const;

signals:
    void ready();

private:
    void makeWhenIdle();
    void make();
    BrowserControlPage* handOver();

    static QPointer<SpareEnginePage> current_;
    BrowserControlPage* spare_ = nullptr;
    bool ready_ = false;
    bool scheduled_ = false;
};

} // namespace bryndle
