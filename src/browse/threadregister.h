#pragma once

#include <QPointer>
#include <QString>

#include <cstdint>
#include <string>

namespace bryndle {

class TabBrowser;

// Registers a new thread's name with the configured node. start() does it on a worker thread
// within a deadline; the outcome reaches the tab browser on the interface thread, if it is still
// there.
class ThreadRegister {
public:
    ThreadRegister(QString name, TabBrowser* browser);

    // The registration itself, blocking; raises the node's and the connection's errors.
    void run() const;
    // Returns at once; the tab browser's onThreadRegistered follows.
    void start() const;

    // Milliseconds a registration may take in all (30 s unless changed).
    static void setDeadline(int milliseconds);
    static int deadline();

private:
    QString name_;
    QPointer<TabBrowser> browser_;
    std::string host_;
    uint16_t port_;
};

} // namespace bryndle
