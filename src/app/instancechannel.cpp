#include "app/instancechannel.h"

#include "app/clientarguments.h"
#include "foundation/digest.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace bryndle {

namespace {

// A later start that has not said its location by then is dropped.
constexpr int SpeakingLimitMs = 10000;
// How long a later start waits for the running client's answer (it may be busy a moment).
constexpr int AnswerLimitMs = 20000;
// Longer than any location worth opening.
constexpr qint64 MaxLine = 64 * 1024;

QString systemText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A folder of the user's that nobody else can enter; with `fix`, one of theirs that others could
// enter is closed.
bool isPrivateFolder(const std::string& path, bool fix) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid())
        return false;
    if ((status.st_mode & 077) == 0)
        return true;
    return fix && ::chmod(path.c_str(), 0700) == 0;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool sendAll(int fd, const QByteArray& bytes) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent,
                                 static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// The answer line, without its line feed; empty when none came in time.
QByteArray readAnswer(int fd) {
    QByteArray answer;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(AnswerLimitMs);
    while (!answer.contains('\n') && answer.size() < 64) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            limit - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return {};
        pollfd readable{fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {};
        char buffer[64];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    const qsizetype end = answer.indexOf('\n');
    return end < 0 ? QByteArray() : answer.left(end);
}

} // namespace

std::optional<std::string> InstanceChannel::userRuntimeDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && *runtime == '/' && isPrivateFolder(runtime, false))
        return std::string(runtime);
    const char* temporary = std::getenv("TMPDIR");
    const std::string base = temporary && *temporary == '/' ? temporary : "/tmp";
    const std::string folder = base + "/bryndle-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    if (!isPrivateFolder(folder, true))
        return std::nullopt;
    return folder;
}

std::string InstanceChannel::socketPath(const std::string& runtimeDirectory,
                                        const std::string& runtimeFolder) {
    // Short enough for a socket address wherever the runtime folder is.
    return runtimeDirectory + "/bryndle-" + Digest::md5Hex(runtimeFolder).substr(0, 16) + ".socket";
}

bool InstanceChannel::fitsSocketAddress(const std::string& path) {
    return path.size() < sizeof(sockaddr_un::sun_path);
}

InstanceChannel::InstanceChannel(std::string socketPath, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)) {}

InstanceChannel::~InstanceChannel() {
    unlock();
}

bool InstanceChannel::lock() {
    if (lock_ >= 0)
        return true;
    const std::string file = path_ + ".lock";
    lock_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock_ < 0)
        return false;
    while (::flock(lock_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            unlock();
            return false;
        }
    }
    return true;
}

void InstanceChannel::unlock() {
    if (lock_ < 0)
        return;
    ::close(lock_);
    lock_ = -1;
}

InstanceChannel::HandOver InstanceChannel::handOver(const QString& location, QString* error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (!fitsSocketAddress(path_)) {
        if (error)
            *error = QStringLiteral("socket path too long: %1").arg(QString::fromStdString(path_));
        return HandOver::Failed;
    }
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) {
        if (error)
            *error = systemText(errno);
        return HandOver::Failed;
    }
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // Nobody listens: no socket yet, or one left by a client that did not end cleanly.
        if (errno == ENOENT || errno == ECONNREFUSED)
            return HandOver::NoClient;
        if (error)
            *error = systemText(errno);
        return HandOver::Failed;
    }
    const QByteArray answer =
        sendAll(socket.get(), location.toUtf8() + '\n') ? readAnswer(socket.get()) : QByteArray();
    if (answer == "ok")
        return HandOver::Taken;
    if (answer == "refused")
        return HandOver::Refused;
    if (error)
        *error = QStringLiteral("the running client did not answer");
    return HandOver::Failed;
}

bool InstanceChannel::listen(QString* error) {
    const QString name = QString::fromStdString(path_);
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        delete server_;
        server_ = nullptr;
        unlock();
        return false;
    };
    delete server_;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Only called when nobody answered on it: what is there is left from an earlier run.
    QLocalServer::removeServer(name);
    if (!server_->listen(name))
        return fail(server_->errorString());
    // Qt leaves the owner's execute bit on; nobody but the owner, and only to read and write.
    struct stat status {};
    if (::chmod(path_.c_str(), 0600) != 0 || ::lstat(path_.c_str(), &status) != 0 ||
        !S_ISSOCK(status.st_mode) || status.st_uid != ::getuid() || (status.st_mode & 0777) != 0600)
        return fail(QStringLiteral("cannot make %1 the user's only").arg(name));
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::onConnection);
    unlock();
    return true;
}

bool InstanceChannel::isListening() const {
    return server_ && server_->isListening();
}

void InstanceChannel::onConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(SpeakingLimitMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

void InstanceChannel::onReadable(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxLine) {
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    QByteArray line = socket->readLine(MaxLine);
    if (!line.endsWith('\n')) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    line.chop(1);
    const QString location = QString::fromUtf8(line);
    const bool taken = location.isEmpty() || ClientArguments::refusal(location).isEmpty();
    socket->write(taken ? "ok\n" : "refused\n");
    socket->disconnectFromServer();
    // The later start is answered first: opening the location may take the window a while.
    if (taken)
        emit locationReceived(location);
}

} // namespace bryndle
