#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>

class QTcpSocket;

namespace bryndle {

// Waits for a node to accept connections: tries to connect, and after a refusal tries again a
// moment later, until one connection is accepted (answered) or the time is up (gaveUp). Nothing
// is sent; each trial connection is closed at once. Deletes itself after either signal.
class NodeProbe : public QObject {
    Q_OBJECT

public:
    static constexpr int RetryMilliseconds = 250;

    NodeProbe(QString host, uint16_t port, int seconds, QObject* parent = nullptr);
    ~NodeProbe() override;

    void start();
    // Stops trying; no signal follows.
    void cancel();

signals:
    void answered();
    void gaveUp();

private:
    void attempt();
    void onFailed();
    void finish(bool answered);

    QString host_;
    uint16_t port_;
    QTimer retry_;
    // Ends the waiting also while a connection attempt hangs.
    QTimer limit_;
    QPointer<QTcpSocket> socket_;
    int seconds_;
    bool done_ = false;
};

} // namespace bryndle
