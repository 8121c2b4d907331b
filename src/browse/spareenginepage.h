#pragma once

#include <QObject>
#include <QPointer>
#include <QTemporaryDir>
#include <QUrl>

namespace bryndle {

class BrowserControlPage;

// The engine page of the next thread browser, made ahead while the window is idle: the thread
// profile and its settings applied and its renderer process started on a small sample page in
// the configured theme (its style, fonts and glyphs then ready: a fresh renderer takes about
// 20 ms longer to paint its first thread page), so that opening a thread need not wait for
// any of that. Without a theme to show, it starts on an empty document. At most one spare exists;
// it is never shown and nothing of it reaches a browser before one takes it. Once the taker has
// loaded its first page (or has gone), the next spare is made when the event loop is idle again.
// Costs one renderer process while it waits.
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
    // The sample page in the configured theme, written again for every spare (the theme may
    // have changed); "about:blank" when it cannot be made.
    QUrl samplePage();
    BrowserControlPage* handOver();

    static QPointer<SpareEnginePage> current_;
    // Holds the sample page; removed with the maker.
    QTemporaryDir sampleDir_;
    BrowserControlPage* spare_ = nullptr;
    bool ready_ = false;
    bool scheduled_ = false;
};

} // namespace bryndle
