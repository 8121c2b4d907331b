#include "app/client.h"
#include "app/clientarguments.h"
#include "app/instancechannel.h"
#include "config/configuration.h"
#include "shell/mainform.h"
#include "support/recordingcomposite.h"
#include "support/tempdir.h"
#include "toolkit/shell.h"
#include "toolkit/trayitem.h"
#include "toolkit/uitest.h"

#include <QProcess>
#include <QSignalSpy>
#include <QThread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

using namespace bryndle;
using namespace bryndle::test;
namespace fs = std::filesystem;

namespace {

const QString Thread = QStringLiteral("shingetsu://thread_616263/get/?mode=1&items=30");

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// The environment variable for the scope, or without it for an empty value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value.empty())
            ::unsetenv(name);
        else
            ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

mode_t modeOf(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

uid_t ownerOf(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_uid : static_cast<uid_t>(-1);
}

// A socket file that nobody listens on, as a client that was killed leaves it.
void leaveStaleSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    QVERIFY(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0);
    ::close(fd);
}

} // namespace

class InstanceChannelTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<TempDir> runtime_;
    std::unique_ptr<ScopedCurrentDir> cwd_;
    std::unique_ptr<ScopedEnv> xdgRuntime_;

    std::string socketPath() const {
        return InstanceChannel::socketPath(runtime_->path().string(),
                                           fs::canonical(dir_->path()).string());
    }

    // The program, started in the test's runtime folder; the test's events are dispatched
    // while it runs, so a client of this process can answer it.
    Run runClient(const QStringList& arguments) {
        QProcess process;
        process.setWorkingDirectory(QString::fromStdString(dir_->path().string()));
        process.start(QStringLiteral(BRYNDLE_CLIENT_PATH), arguments);
        Run run;
        if (!process.waitForStarted())
            return run;
        QSignalSpy finished(&process, &QProcess::finished);
        if (!finished.wait(60000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        runtime_ = std::make_unique<TempDir>();
        fs::permissions(runtime_->path(), fs::perms::owner_all);
        cwd_ = std::make_unique<ScopedCurrentDir>(dir_->path());
        xdgRuntime_ = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", runtime_->path().string());
        auto configuration = std::make_unique<Configuration>();
        configuration->setControlNodeProgram(false);
        Configuration::setInstance(std::move(configuration));
        fs::copy(fs::path(qgetenv("BRYNDLE_SOURCE_DIR").toStdString()) / "data" / "icons", "icons");
        RecordingMessageBox::install();
    }
    void cleanup() {
        TrayItem::setAvailable(std::nullopt);
        MessageBox::setInstance(nullptr);
        xdgRuntime_.reset();
        cwd_.reset();
        runtime_.reset();
        dir_.reset();
    }

    void commandLine() {
        using Action = ClientArguments::Action;
        QCOMPARE(ClientArguments::parse({"bryndle"}).action, Action::Run);
        QVERIFY(ClientArguments::parse({"bryndle"}).location.isEmpty());
        QCOMPARE(ClientArguments::parse({"bryndle", "--help"}).action, Action::Help);
        QCOMPARE(ClientArguments::parse({"bryndle", "-h"}).action, Action::Help);
        QCOMPARE(ClientArguments::parse({"bryndle", "--version"}).action, Action::Version);
        for (const QString& location :
             {Thread, QStringLiteral("shingetsu://thread_616263/cache/0123abcd#r1"),
              QStringLiteral("http://127.0.0.1:8000/thread.cgi/abc"),
              QStringLiteral("https://example.org/a?b=c")}) {
            const ClientArguments parsed = ClientArguments::parse({"bryndle", location});
            QCOMPARE(parsed.action, Action::Run);
            QCOMPARE(parsed.location, location);
        }
        // Locations that do not parse, other schemes, more than one location, unknown options.
        for (const QStringList& arguments : QList<QStringList>{
                 {"bryndle", "shingetsu://thread_616263"},
                 {"bryndle", "shingetsu://thread_616/get/"},
                 {"bryndle", "shingetsu://thread_zz/get/"},
                 {"bryndle", "shingetsu://thread_616263/get/?items=99999999999"},
                 {"bryndle", "shingetsu://thread_616263/get/\nabc"},
                 {"bryndle", "ftp://example.org/"},
                 {"bryndle", "file:///etc/passwd"},
                 {"bryndle", "http://"},
                 {"bryndle", "example.org"},
                 {"bryndle", Thread, Thread},
                 {"bryndle", "--verbose"},
             }) {
            const ClientArguments parsed = ClientArguments::parse(arguments);
            QVERIFY2(parsed.action == Action::Refuse && !parsed.message.isEmpty(),
                     qPrintable(arguments.join(' ')));
        }
    }

    void helpVersionAndRefusalFromTheProgram() {
        const Run help = runClient({"--help"});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains(QStringLiteral("--version")));
        QVERIFY(help.out.contains(QStringLiteral("LOCATION")));
        const Run version = runClient({"--version"});
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QStringLiteral("Bryndle a 0.14\n"));
        const Run refused = runClient({"shingetsu://thread_zz/get/"});
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.contains(QStringLiteral("shingetsu://thread_zz/get/")),
                 qPrintable(refused.err));
        QVERIFY(refused.out.isEmpty());
        // Nothing was started in the runtime folder.
        QVERIFY(!fs::exists("config.db"));
    }

    // A later start hands its location to the running client, whose window comes to the front
    // and passes it to its content; it ends with 0. A refused location reaches nobody.
    void laterStartHandsItsLocationToTheRunningClient() {
        TrayItem::setAvailable(true);
        InstanceChannel channel(socketPath());
        QVERIFY(channel.lock());
        QCOMPARE(channel.handOver(Thread), InstanceChannel::HandOver::NoClient);
        QVERIFY(channel.listen());
        MainForm form;
        form.setLayoutFactory(test::RecordingComposite::factory());
        const auto forwarding = forwardLocations(channel, form);
        form.open();
        const auto* content = test::RecordingComposite::of(form);
        form.onIconify();
        QVERIFY(!form.shell()->isVisible());

        const Run handed = runClient({Thread});
        QVERIFY2(handed.status == 0, qPrintable(handed.err));
        QCOMPARE(content->unopenedLocations, QStringList{Thread});
        QVERIFY(form.shell()->isVisible());

        const Run refused = runClient({"ftp://example.org/"});
        QCOMPARE(refused.status, 2);
        QVERIFY(refused.err.contains(QStringLiteral("ftp://example.org/")));
        // Without a location the window only comes forward.
        form.onIconify();
        QCOMPARE(runClient({}).status, 0);
        QVERIFY(form.shell()->isVisible());
        const QString web = QStringLiteral("https://example.org/");
        QCOMPARE(runClient({web}).status, 0);
        QCOMPARE(content->unopenedLocations, (QStringList{Thread, web}));
        QObject::disconnect(forwarding);
        form.cleanUp();
    }

    // The running client checks what it is handed as well: a bad location is refused there.
    void theRunningClientRefusesWhatDoesNotParse() {
        InstanceChannel server(socketPath());
        QVERIFY(server.listen());
        QSignalSpy received(&server, &InstanceChannel::locationReceived);
        InstanceChannel client(socketPath());
        // Answered while this process waits, from a thread of the client's own.
        std::optional<InstanceChannel::HandOver> result;
        std::unique_ptr<QThread> asking(QThread::create(
            [&] { result = client.handOver(QStringLiteral("shingetsu://thread_zz/get/")); }));
        asking->start();
        QTRY_VERIFY(asking->isFinished());
        QCOMPARE(*result, InstanceChannel::HandOver::Refused);
        QCOMPARE(received.size(), 0);
    }

    void socketIsTheUsersOnly() {
        InstanceChannel channel(socketPath());
        QVERIFY(channel.lock());
        QVERIFY(channel.listen());
        const mode_t mode = modeOf(channel.path());
        QVERIFY(S_ISSOCK(mode));
        QCOMPARE(mode & 07777, mode_t{0600});
        QCOMPARE(ownerOf(channel.path()), ::getuid());
        QCOMPARE(modeOf(runtime_->path().string()) & 077, mode_t{0});
    }

    void socketLeftByAnEndedClientIsReplaced() {
        leaveStaleSocket(socketPath());
        InstanceChannel channel(socketPath());
        QVERIFY(channel.lock());
        QCOMPARE(channel.handOver(Thread), InstanceChannel::HandOver::NoClient);
        QVERIFY(channel.listen());
        QCOMPARE(modeOf(channel.path()) & 07777, mode_t{0600});
    }

    // $XDG_RUNTIME_DIR when it is private; otherwise a private folder of the user's in the
    // temporary folder, never one that others can enter or that is a link.
    void userRuntimeDirectory() {
        QCOMPARE(InstanceChannel::userRuntimeDirectory(), runtime_->path().string());

        TempDir temporary;
        const ScopedEnv tmpdir("TMPDIR", temporary.path().string());
        const std::string own =
            (temporary.path() / ("bryndle-" + std::to_string(::getuid()))).string();
        fs::permissions(runtime_->path(), fs::perms::owner_all | fs::perms::group_read |
                                              fs::perms::group_exec | fs::perms::others_read |
                                              fs::perms::others_exec);
        QCOMPARE(InstanceChannel::userRuntimeDirectory(), own);
        QCOMPARE(modeOf(own) & 07777, mode_t{0700});
        {
            const ScopedEnv none("XDG_RUNTIME_DIR", "");
            QCOMPARE(InstanceChannel::userRuntimeDirectory(), own);
            // Opened up since: closed again.
            fs::permissions(own,
                            fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
            QCOMPARE(InstanceChannel::userRuntimeDirectory(), own);
            QCOMPARE(modeOf(own) & 07777, mode_t{0700});
            // Someone else's folder in its place.
            fs::remove(own);
            fs::create_directory_symlink(runtime_->path(), own);
            QCOMPARE(InstanceChannel::userRuntimeDirectory(), std::nullopt);
        }
    }
};

BRYNDLE_QTEST_MAIN(InstanceChannelTest)
#include "instancechannel_test.moc"
