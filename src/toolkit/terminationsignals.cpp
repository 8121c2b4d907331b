#include "toolkit/terminationsignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace bryndle {

namespace {

const int Signals[3] = {SIGTERM, SIGINT, SIGHUP};
// The self-pipe: written by the signal handler, read on the interface thread.
int pipeEnds[2] = {-1, -1};

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {
    if (pipeEnds[0] >= 0)
        throw std::logic_error("termination signals are handled already");
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("pipe2 failed");
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { readPending(); });
    struct sigaction action = {};
    action.sa_handler = &TerminationSignals::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(Signals[i], &action, &previous_[i]);
}

TerminationSignals::~TerminationSignals() {
    for (int i = 0; i < 3; ++i)
        sigaction(Signals[i], &previous_[i], nullptr);
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void TerminationSignals::onSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] ssize_t ignored = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

void TerminationSignals::readPending() {
    char bytes[16];
    ssize_t n;
    while ((n = ::read(pipeEnds[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            handler_(bytes[i]);
    }
}

} // namespace bryndle
