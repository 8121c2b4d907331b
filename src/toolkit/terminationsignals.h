#pragma once

#include <QObject>

#include <csignal>
#include <functional>

class QSocketNotifier;

namespace bryndle {

// Turns SIGTERM, SIGINT and SIGHUP into a call on the interface thread, so that the end of the
// desktop session or a Ctrl+C closes the program in order instead of killing it. One instance
// at a time; the previous signal actions come back when it goes.
class TerminationSignals : public QObject {
public:
    explicit TerminationSignals(std::function<void(int signal)> handler, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

private:
    static void onSignal(int signal);
    void readPending();

    std::function<void(int)> handler_;
    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_[3] = {};
};

} // namespace bryndle
