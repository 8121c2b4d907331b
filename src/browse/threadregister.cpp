#include "browse/threadregister.h"

#include "browse/tabbrowser.h"
#include "config/configuration.h"
#include "node/nodeaddress.h"
#include "node/threadio.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

namespace bryndle {

namespace {

std::atomic<int> deadlineMs{30000};

// What the interface thread knows of one registration; the worker only holds a reference.
struct Pending {
    QPointer<TabBrowser> browser;
    QString name;
    bool reported = false;

    void report(const QString& error) {
        if (reported)
            return;
        reported = true;
        if (browser)
            browser->onThreadRegistered(name, error);
    }
};

void registerWith(const std::string& host, uint16_t port, const std::string& name,
                  int timeoutSeconds) {
    ThreadIO io(NodeAddress(host, port), timeoutSeconds);
    io.registerThread(name);
}

} // namespace

ThreadRegister::ThreadRegister(QString name, TabBrowser* browser)
    : name_(std::move(name)), browser_(browser) {
    const Configuration& config = Configuration::instance();
    host_ = config.nodeHost();
    port_ = config.nodePort();
}

void ThreadRegister::setDeadline(int milliseconds) {
    deadlineMs = milliseconds;
}

int ThreadRegister::deadline() {
    return deadlineMs;
}

void ThreadRegister::run() const {
    registerWith(host_, port_, name_.toStdString(), (deadline() + 999) / 1000);
}

void ThreadRegister::start() const {
    auto pending = std::make_shared<Pending>();
    pending->browser = browser_;
    pending->name = name_;
    QTimer::singleShot(deadline(), QCoreApplication::instance(),
                       [pending] { pending->report(QStringLiteral("connection timeout")); });
    // The worker's own waits end a little after the deadline, so it never outlives it by much;
    // it touches nothing of the interface.
    std::thread([pending, host = host_, port = port_, name = name_.toStdString(),
                 seconds = (deadline() + 999) / 1000]() mutable {
        QString error;
        try {
            registerWith(host, port, name, seconds);
        } catch (const std::exception& e) {
            error = QString::fromStdString(e.what());
            if (error.isEmpty())
                error = QStringLiteral("error");
        } catch (...) {
            error = QStringLiteral("error");
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [pending, error] { pending->report(error); },
            Qt::QueuedConnection);
        pending.reset();
    }).detach();
}

} // namespace bryndle
