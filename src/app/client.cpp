#include "app/client.h"

#include "app/clientarguments.h"
#include "app/instancechannel.h"
#include "app/runtimefolder.h"
#include "browse/mainlayout.h"
#include "config/configuration.h"
#include "foundation/variant.h"
#include "shell/mainform.h"
#include "store/pageloaderregistry.h"
#include "store/threadcache.h"
#include "toolkit/application.h"
#include "toolkit/background.h"
#include "toolkit/messagebox.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include <unistd.h>

namespace bryndle {

namespace {

// The engine's sandbox cannot run as root and the engine then refuses to start at all; a root
// session (a container, a test machine) gets the client without that sandbox, and is told so.
void allowEngineAsRoot() {
    if (geteuid() != 0 || qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        return;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    std::fputs("bryndle: running as root, the web engine runs without its sandbox\n", stderr);
}

void reportError(const std::exception& error) {
    MessageBox::warning(QString::fromStdString(error.what()));
}

void printTo(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

void complain(const QString& text) {
    printTo(stderr, QStringLiteral("bryndle: %1\n").arg(text));
}

// The runtime folder becomes the current directory: the settings name their files relative
// to it.
void waitForBackgroundWork() {
    while (backgroundTaskCount() > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

bool enterRuntimeFolder() {
    try {
        const RuntimeFolder folder = RuntimeFolder::locate();
        folder.prepare();
        std::filesystem::current_path(folder.path());
        folder.exportNodeData();
        return true;
    } catch (const std::exception& error) {
        complain(QString::fromLocal8Bit(error.what()));
        return false;
    }
}

// A channel on which this start is the first, or none when the client runs on its own. Sets
// `status` and returns none when the location went to the running client (or could not).
std::unique_ptr<InstanceChannel> channelOrHandOver(const QString& location,
                                                   std::optional<int>& status) {
    const auto directory = InstanceChannel::userRuntimeDirectory();
    if (!directory) {
        complain(QStringLiteral("no private runtime directory; later starts open new windows"));
        return nullptr;
    }
    const std::string path =
        InstanceChannel::socketPath(*directory, std::filesystem::current_path().string());
    if (!InstanceChannel::fitsSocketAddress(path)) {
        complain(QStringLiteral("runtime directory path too long; later starts open new windows"));
        return nullptr;
    }
    auto channel = std::make_unique<InstanceChannel>(path);
    if (!channel->lock()) {
        complain(QStringLiteral("cannot lock %1").arg(QString::fromStdString(channel->path())));
        return nullptr;
    }
    QString error;
    switch (channel->handOver(location, &error)) {
    case InstanceChannel::HandOver::NoClient:
        return channel;
    case InstanceChannel::HandOver::Taken:
        status = 0;
        break;
    case InstanceChannel::HandOver::Refused:
        complain(QStringLiteral("the running client refused \"%1\"").arg(location));
        status = 2;
        break;
    case InstanceChannel::HandOver::Failed:
        complain(error);
        status = 1;
        break;
    }
    return nullptr;
}

} // namespace

int clientMain(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ClientArguments parsed = ClientArguments::parse(arguments);
    switch (parsed.action) {
    case ClientArguments::Action::Help:
        printTo(stdout, ClientArguments::helpText());
        return 0;
    case ClientArguments::Action::Version:
        printTo(stdout, ClientArguments::versionText());
        return 0;
    case ClientArguments::Action::Refuse:
        complain(parsed.message + QStringLiteral("\n(bryndle --help tells what it takes)"));
        return 2;
    case ClientArguments::Action::Run:
        break;
    }
    if (!enterRuntimeFolder())
        return 1;
    std::optional<int> handedOver;
    auto channel = channelOrHandOver(parsed.location, handedOver);
    if (handedOver)
        return *handedOver;

    sharedNull();
    allowEngineAsRoot();
    // The web engine shares its rendering contexts with the window's: set before the display.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    Application application(argc, argv);
    Application::setApplicationName(QStringLiteral("bryndle"));
    // The desktop entry the window belongs to (its icon and name in task bars).
    Application::setDesktopFileName(QStringLiteral("org.bryndle.bryndle"));
    if (QString error; channel && !channel->listen(&error)) {
        complain(error + QStringLiteral("; later starts open new windows"));
        channel.reset();
    }
    const int status = runClient(parsed.location, channel.get());
    // Its server goes before the application object.
    channel.reset();
    return status;
}

QMetaObject::Connection forwardLocations(InstanceChannel& channel, MainForm& form) {
    return QObject::connect(&channel, &InstanceChannel::locationReceived,
                            [&form](const QString& location) { form.openLocation(location); });
}

int runClient(const QString& location, InstanceChannel* channel) {
    try {
        auto configuration = std::make_unique<Configuration>();
        configuration->setTemporaryDir("temporary");
        configuration->load();
        Configuration::setInstance(std::move(configuration));
        const auto& config = Configuration::instance();
        for (const auto& folder : {config.temporaryDir(), config.attachDir(), config.bookmarkDir()})
            std::filesystem::create_directories(folder);
        ThreadCache::setInstance(std::make_unique<ThreadCache>(config.threadCacheFile()));
    } catch (const std::exception& error) {
        reportError(error);
        return 1;
    }

    int status = 0;
    try {
        MainForm form;
        form.setLayoutFactory([](QWidget* parent) { return std::make_unique<MainLayout>(parent); });
        struct Forwarding {
            QMetaObject::Connection connection;
            ~Forwarding() { QObject::disconnect(connection); }
        } forwarding{channel ? forwardLocations(*channel, form) : QMetaObject::Connection()};
        if (!location.isEmpty())
            form.openLocation(location);
        form.run();
    } catch (const std::exception& error) {
        // The window could not be built, or the node program could not be stopped.
        reportError(error);
        status = 1;
    }
    // Loaders still fetching show nothing more, and their workers finish storing before the
    // cache and the configuration go; so do the listings and cache reads still running, within
    // their deadlines.
    PageLoaderRegistry::instance().abandonAll();
    PageLoaderRegistry::instance().joinAll();
    waitForBackgroundWork();
    try {
        Configuration::instance().save();
    } catch (const std::exception& error) {
        reportError(error);
        status = 1;
    }
    return status;
}

} // namespace bryndle
