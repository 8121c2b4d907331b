#pragma once

// A small web server for the browser tests: listens on 127.0.0.1 on a free port, answers fixed
// replies by path (after an optional delay) and counts the requests. Runs on the test's own
// event loop, many connections at once, as a browser expects of a server.

#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace bryndle::test {

class LoopbackServer : public QObject {
public:
    struct Reply {
        QByteArray body;
        QByteArray type = "text/html; charset=utf-8";
        int delayMs = 0;
        QByteArray extraHeaders;
    };

    LoopbackServer() {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                serve(socket);
        });
    }

    void route(const QByteArray& path, Reply reply) { routes_.insert(path, std::move(reply)); }
    void page(const QByteArray& path, const QByteArray& title, const QByteArray& body = {}) {
        route(path,
              {"<html><head><title>" + title + "</title></head><body>" + body + "</body></html>",
               "text/html; charset=utf-8",
               0,
               {}});
    }
    quint16 port() const { return server_.serverPort(); }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
    }
    int count(const QByteArray& path) const { return counts_.value(path); }

private:
    void serve(QTcpSocket* socket) {
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n") || socket->property("answered").toBool())
                return;
            socket->setProperty("answered", true);
            const QByteArray path = buffer->split(' ').value(1);
            counts_[path] += 1;
            const auto found = routes_.constFind(path);
            const Reply reply =
                found != routes_.constEnd() ? *found : Reply{"not found", "text/plain", 0, {}};
            const QByteArray status = found != routes_.constEnd() ? "200 OK" : "404 Not Found";
            QPointer<QTcpSocket> guarded(socket);
            QTimer::singleShot(reply.delayMs, this, [guarded, reply, status] {
                if (!guarded)
                    return;
                guarded->write("HTTP/1.1 " + status + "\r\nContent-Type: " + reply.type +
                               "\r\nContent-Length: " + QByteArray::number(reply.body.size()) +
                               "\r\nConnection: close\r\n" + reply.extraHeaders + "\r\n" +
                               reply.body);
                guarded->disconnectFromHost();
            });
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer server_;
    QHash<QByteArray, Reply> routes_;
    QHash<QByteArray, int> counts_;
};

} // namespace bryndle::test
