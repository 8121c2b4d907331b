// On a display whose only screen does not start at 0,0 (as a screen right of or below another).
#include "config/configuration.h"
#include "foundation/sqliteserializer.h"
#include "shell/aboutdialog.h"
#include "shell/icon.h"
#include "shell/mainform.h"
#include "support/tempdir.h"
#include "toolkit/shell.h"
#include "toolkit/uitest.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include <filesystem>
#include <memory>

using namespace bryndle;
using namespace bryndle::test;

namespace {
const QRect screenGeometry(1000, 200, 1024, 768);
}

class ScreenTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<ScopedCurrentDir> cwd_;

private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        cwd_ = std::make_unique<ScopedCurrentDir>(dir_->path());
        auto configuration = std::make_unique<Configuration>();
        configuration->setControlNodeProgram(false);
        Configuration::setInstance(std::move(configuration));
        RecordingMessageBox::install();
        std::filesystem::copy(qgetenv("BRYNDLE_SOURCE_DIR").toStdString() + "/data/icons", "icons");
        loadIcons(QStringLiteral("icons"));
    }
    void cleanup() {
        MessageBox::setInstance(nullptr);
        cwd_.reset();
        dir_.reset();
    }

    void theDisplayHasTheScreenAsked() {
        QCOMPARE(QGuiApplication::primaryScreen()->geometry(), screenGeometry);
    }

    void aboutBoxIsCentredOnTheScreen() {
        QPoint position, expected;
        whenModal([&](QWidget* window) {
            position = window->pos();
            expected =
                screenGeometry.topLeft() + QPoint((screenGeometry.width() - window->width()) / 2,
                                                  (screenGeometry.height() - window->height()) / 2);
            child<QPushButton>(window, "ok")->click();
        });
        AboutDialog().open();
        QCOMPARE(position, expected);
    }

    // A placement stored on another screen set-up: moved onto this screen, or the defaults.
    void mainWindowPlacementIsKeptOnTheScreen() {
        SQLiteSerializer("environ.db", "MainForm")
            .save(*makeArray(int64_t{0}, int64_t{640}, int64_t{480}, int64_t{1900}, int64_t{900}));
        {
            MainForm form;
            form.open();
            QCOMPARE(QRect(form.shell()->pos(), form.shell()->size()),
                     QRect(1000 + 1024 - 640, 200 + 768 - 480, 640, 480));
            form.cleanUp();
        }
        // Right for a screen at 0,0, but nowhere on this one.
        SQLiteSerializer("environ.db", "MainForm")
            .save(*makeArray(int64_t{0}, int64_t{640}, int64_t{480}, int64_t{30}, int64_t{40}));
        MainForm form;
        form.open();
        QCOMPARE(form.shell()->size(), QSize(700, 500));
        QVERIFY(form.shell()->pos() != QPoint(30, 40));
        form.cleanUp();
    }
};

BRYNDLE_QTEST_MAIN_ON_SCREEN(ScreenTest, screenGeometry.x(), screenGeometry.y(),
                             screenGeometry.width(), screenGeometry.height())
#include "screen_test.moc"
