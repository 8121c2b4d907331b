// bryndle-node: a node on 127.0.0.1 for running and testing the client on one machine.

#include "nodeactivity.h"
#include "nodeconfig.h"
#include "nodesamples.h"
#include "nodeserver.h"
#include "nodestore.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#ifdef BRYNDLE_NODE_WINDOW
#include "nodedisplay.h"
#include "statuswindow.h"

#include <QApplication>
#include <QMetaObject>
#endif

namespace {

using namespace bryndle;

std::string programFolder() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return ".";
    }
    return exe.parent_path().string();
}

// The port file tells whoever started the node which port it took (useful with port 0).
void writePortFile(const std::string& path, int port) {
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << port << "\n";
    }
    std::filesystem::rename(temporary, path);
}

// Idle and slow clients each hold a descriptor until their requests have arrived: allow as many
// as the system lets the process have, up to a sensible number.
void raiseDescriptorLimit() {
    constexpr rlim_t wanted = 65536;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < wanted &&
        limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = std::min(limit.rlim_max, wanted);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int run() {
    NodeConfig config =
        NodeConfig::load(programFolder(), [](const char* name) { return std::getenv(name); });
    std::filesystem::create_directories(config.dataFolder);

    // Termination signals are taken by one waiting thread, never in a handler, so the
    // store is closed in order after the last request.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    NodeStore store(config.storePath());
    int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (config.samples && store.threadCount() == 0) {
        NodeSamples::seed(store, now);
    }

    NodeActivity activity;
    raiseDescriptorLimit();
    NodeServer server(store, activity);
    int port = server.bind(config.port);
    if (port < 0) {
        std::fprintf(stderr, "bryndle-node: cannot listen on 127.0.0.1:%d\n", config.port);
        store.close();
        return 1;
    }
    writePortFile(config.portFilePath(), port);
    std::printf("bryndle-node: listening on http://127.0.0.1:%d/ (data in %s)\n", port,
                config.dataFolder.c_str());
    std::fflush(stdout);

    std::thread serving([&] { server.run(); });

    // The window's event loop, when there is one, is ended by the signal thread as well.
    std::mutex quitMutex;
    bool stopping = false;
    std::function<void()> quitWindow;
    std::thread signalWaiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        server.stop();
        std::lock_guard lock(quitMutex);
        stopping = true;
        if (quitWindow) {
            quitWindow();
        }
    });

#ifdef BRYNDLE_NODE_WINDOW
    // A window only when an X display really answers; otherwise the node runs without one.
    if (NodeDisplay::available()) {
        // The client finds the window through X11, so the window lives there whatever
        // platform the environment names.
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        int argc = 1;
        char name[] = "bryndle-node";
        char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        app.setQuitOnLastWindowClosed(false);
        StatusWindow window(store, activity, port);
        // The native window exists from the start, unmapped, so that it can be found and
        // mapped by its process id.
        window.winId();
        window.watchNativeMapping();
        {
            std::lock_guard lock(quitMutex);
            quitWindow = [&app] {
                QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
            };
            if (stopping) {
                quitWindow();
            }
        }
        app.exec();
        bool signalled = false;
        {
            std::lock_guard lock(quitMutex);
            quitWindow = nullptr;
            signalled = stopping;
        }
        if (!signalled) {
            // The event loop ended by itself: end the signal thread and the server too.
            kill(getpid(), SIGTERM);
        }
    }
#endif
    signalWaiter.join();
    serving.join();
    store.close();
    std::filesystem::remove(config.portFilePath());
    return 0;
}

} // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bryndle-node: %s\n", e.what());
        return 1;
    }
}
