#pragma once

// Shared set-up of the browsing tests: a runtime folder of their own as the current directory
// (configuration, window state, web profile), the real icons, recording boxes and dialogs, and
// a test main that prepares Qt WebEngine.

#include "config/configuration.h"
#include "shell/icon.h"
#include "support/tempdir.h"
#include "toolkit/uitest.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace bryndle::test {

class BrowseFixture {
public:
    BrowseFixture() : cwd_(dir_.path()) {
        auto configuration = std::make_unique<Configuration>();
        configuration->setNodeHost("127.0.0.1");
        Configuration::setInstance(std::move(configuration));
        loadIcons(qEnvironmentVariable("BRYNDLE_BINARY_DIR") + QStringLiteral("/runtime/icons"));
        box = RecordingMessageBox::install();
        files = RecordingFileDialog::install();
    }

    const TempDir& dir() const { return dir_; }
    QString file(const char* name) const { return QString::fromStdString(dir_.file(name)); }
    RecordingMessageBox* box;
    RecordingFileDialog* files;

private:
    TempDir dir_;
    ScopedCurrentDir cwd_;
};

// Lets the event loop run for a while (the engine works in its own time).
inline void spin(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace bryndle::test

#define BRYNDLE_WEBENGINE_TEST_MAIN(TestClass)                                                     \
    int main(int argc, char** argv) {                                                              \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");                       \
        bryndle::Application application(argc, argv);                                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
