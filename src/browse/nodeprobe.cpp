#include "browse/nodeprobe.h"

#include <QTcpSocket>

namespace bryndle {

NodeProbe::NodeProbe(QString host, uint16_t port, int seconds, QObject* parent)
    : QObject(parent), host_(std::move(host)), port_(port), seconds_(seconds) {
    retry_.setSingleShot(true);
    retry_.setInterval(RetryMilliseconds);
    connect(&retry_, &QTimer::timeout, this, &NodeProbe::attempt);
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] { finish(false); });
}

NodeProbe::~NodeProbe() {
    if (socket_)
        socket_->abort();
}

void NodeProbe::start() {
    limit_.start(std::chrono::seconds(seconds_));
    attempt();
}

void NodeProbe::cancel() {
    done_ = true;
    retry_.stop();
    limit_.stop();
    if (socket_)
        socket_->abort();
    deleteLater();
}

void NodeProbe::attempt() {
    if (done_)
        return;
    if (socket_)
        socket_->deleteLater();
    socket_ = new QTcpSocket(this);
    connect(socket_, &QTcpSocket::connected, this, [this] { finish(true); });
    connect(socket_, &QTcpSocket::errorOccurred, this, [this] { onFailed(); });
    socket_->connectToHost(host_, port_);
}

void NodeProbe::onFailed() {
    if (done_)
        return;
    // A refusal comes at once: the next try waits a moment. A lookup that fails waits as well.
    if (!retry_.isActive())
        retry_.start();
}

void NodeProbe::finish(bool answered) {
    if (done_)
        return;
    done_ = true;
    retry_.stop();
    limit_.stop();
    if (socket_)
        socket_->abort();
    if (answered)
        emit this->answered();
    else
        emit gaveUp();
    deleteLater();
}

} // namespace bryndle
