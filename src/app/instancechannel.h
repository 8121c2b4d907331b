#pragma once

#include <QObject>
#include <QString>

#include <optional>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace bryndle {

// One running client per runtime folder: a later start hands its location to the running one
// over a local socket in the user's runtime directory and ends. The socket is the user's only
// (mode 0600, in a folder only the user can enter). The exchange: the location (empty: just
// come to the front) and a line feed; the answer "ok" or "refused" and a line feed.
class InstanceChannel : public QObject {
    Q_OBJECT

public:
    enum class HandOver { Taken, Refused, NoClient, Failed };

    // $XDG_RUNTIME_DIR when it is the user's folder, else the private folder bryndle-<uid> in
    // $TMPDIR or /tmp, made with mode 0700 (refused when someone else owns it or it is a link).
    // Empty when there is none: the client then runs on its own.
    static std::optional<std::string> userRuntimeDirectory();
    // The socket of the clients running in `runtimeFolder`, inside `runtimeDirectory`.
    static std::string socketPath(const std::string& runtimeDirectory,
                                  const std::string& runtimeFolder);

    // Whether the path fits a socket address.
    static bool fitsSocketAddress(const std::string& path);

    explicit InstanceChannel(std::string socketPath, QObject* parent = nullptr);
    ~InstanceChannel() override;

    const std::string& path() const { return path_; }
    // Waits while another start decides whether it becomes the running client; kept until
    // listen() or the end of the process. False when the lock file cannot be made.
    bool lock();
    // Gives the location to the running client and waits for its answer.
    HandOver handOver(const QString& location, QString* error = nullptr);
    // Becomes the running client; the lock is let go. False (with a reason) when the socket
    // cannot be made the user's only.
    bool listen(QString* error = nullptr);
    bool isListening() const;

signals:
    // A later start's location, already checked; empty when it gave none.
    void locationReceived(const QString& location);

private:
    void onConnection();
    void onReadable(QLocalSocket* socket);
    void unlock();

    std::string path_;
    int lock_ = -1;
    QLocalServer* server_ = nullptr;
};

} // namespace bryndle
