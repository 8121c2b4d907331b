#include "config/configuration.h"
#include "foundation/conv.h"
#include "shell/aboutdialog.h"
#include "shell/icon.h"
#include "shell/newthreadeditdialog.h"
#include "shell/onelineeditdialog.h"
#include "shell/optiondialog.h"
#include "shell/recordsperpageeditdialog.h"
#include "support/tempdir.h"
#include "toolkit/uitest.h"

#include <QCheckBox>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <filesystem>
#include <memory>
#include <optional>

using namespace bryndle;
using namespace bryndle::test;

namespace {

QString portError(const std::string& text) {
    try {
        OptionDialog::parsePort(text);
    } catch (const Exception& e) {
        return QString::fromStdString(e.message());
    }
    return {};
}

void setPort(QWidget* dialog, const QString& text) {
    auto* port = child<QLineEdit>(dialog, "port");
    port->setText(text);
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<ScopedCurrentDir> cwd_;
    RecordingMessageBox* box_ = nullptr;
    RecordingFileDialog* files_ = nullptr;

private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        cwd_ = std::make_unique<ScopedCurrentDir>(dir_->path());
        Configuration::setInstance(std::make_unique<Configuration>());
        box_ = RecordingMessageBox::install();
        files_ = RecordingFileDialog::install();
        loadIcons(QString::fromLocal8Bit(qgetenv("BRYNDLE_SOURCE_DIR")) +
                  QStringLiteral("/data/icons"));
    }
    void cleanup() {
        MessageBox::setInstance(nullptr);
        FileDialog::setInstance(nullptr);
        cwd_.reset();
        dir_.reset();
    }

    void portTextRules() {
        QCOMPARE(OptionDialog::parsePort("8000"), uint16_t{8000});
        QCOMPARE(OptionDialog::parsePort("0"), uint16_t{0});
        QCOMPARE(OptionDialog::parsePort("65535"), uint16_t{65535});
        QCOMPARE(OptionDialog::parsePort("65536"), uint16_t{0});
        QCOMPARE(OptionDialog::parsePort("70000"), uint16_t{4464});
        QCOMPARE(OptionDialog::parsePort("4294967295"), uint16_t{65535});
        QCOMPARE(OptionDialog::parsePort("00000000000000000080"), uint16_t{80});
        QCOMPARE(portError("-1"), QStringLiteral("Error: conversion -1"));
        QCOMPARE(portError(""), QStringLiteral("Error: conversion "));
        QCOMPARE(portError("+80"), QStringLiteral("Error: conversion +80"));
        QCOMPARE(portError(" 80"), QStringLiteral("Error: conversion  80"));
        QCOMPARE(portError("0x50"), QStringLiteral("Error: conversion 0x50"));
        QCOMPARE(portError("８０"), QStringLiteral("Error: conversion ８０"));
        QCOMPARE(portError("4294967296"), QStringLiteral("Error: overflow 4294967296"));
        QCOMPARE(portError("99999999999999999999999"),
                 QStringLiteral("Error: overflow 99999999999999999999999"));
    }

    void portFieldRefusesLettersAndBlanks() {
        QString typed;
        whenModal([&](QWidget* dialog) {
            auto* port = child<QLineEdit>(dialog, "port");
            port->clear();
            QTest::keyClicks(port, QStringLiteral("8a0 Z0\t-1."));
            typed = port->text();
            child<QPushButton>(dialog, "close")->click();
        });
        OptionDialog().open();
        QCOMPARE(typed, QStringLiteral("800-1."));
    }

    void invalidPortKeepsTheWindowOpen() {
        auto& config = Configuration::instance();
        config.setNodeHost("localhost");
        QStringList texts;
        bool openAfterErrors = false;
        whenModal([&](QWidget* dialog) {
            child<QLineEdit>(dialog, "host")->setText(QStringLiteral("node.example"));
            setPort(dialog, QStringLiteral("-1"));
            child<QPushButton>(dialog, "apply")->click();
            setPort(dialog, QString());
            child<QPushButton>(dialog, "apply")->click();
            openAfterErrors = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
            for (const auto& shown : box_->shown)
                texts << shown.text;
            // Nothing was stored by the refused attempts.
            QCOMPARE(config.nodeHost(), std::string("localhost"));
            QCOMPARE(config.nodePort(), uint16_t{8000});
            setPort(dialog, QStringLiteral("70000"));
            child<QPushButton>(dialog, "apply")->click();
        });
        OptionDialog().open();
        QVERIFY(openAfterErrors);
        QCOMPARE(texts, QStringList({QStringLiteral("ポート: Error: conversion -1"),
                                     QStringLiteral("ポート: Error: conversion ")}));
        QCOMPARE(box_->shown.size(), size_t{2});
        QCOMPARE(box_->shown[0].title, QStringLiteral("bryndle"));
        QCOMPARE(box_->shown[0].icon, MessageBox::Icon::Warning);
        QVERIFY(!box_->shown[0].hadParent);
        QCOMPARE(config.nodePort(), uint16_t{4464});
        QCOMPARE(config.nodeHost(), std::string("node.example"));
    }

    // The host is taken without blanks around it; one with a blank, "/" or ":" inside, or none,
    // keeps the window open with a message and changes nothing.
    void hostIsTrimmedAndRefusedWithBlanksSlashesOrColons() {
        auto& config = Configuration::instance();
        QStringList texts;
        whenModal([&](QWidget* dialog) {
            auto* host = child<QLineEdit>(dialog, "host");
            for (const char* refused : {"node example", "node/x", "node:8000", " \t ", "a\tb"}) {
                host->setText(QString::fromUtf8(refused));
                child<QPushButton>(dialog, "apply")->click();
                QVERIFY(dialog->isVisible());
            }
            QCOMPARE(config.nodeHost(), std::string("localhost"));
            for (const auto& shown : box_->shown)
                texts << shown.text;
            host->setText(QStringLiteral(" node.example\t"));
            child<QPushButton>(dialog, "apply")->click();
        });
        OptionDialog().open();
        QCOMPARE(texts, QStringList({QStringLiteral("ホスト: 空白、/、: は使えません"),
                                     QStringLiteral("ホスト: 空白、/、: は使えません"),
                                     QStringLiteral("ホスト: 空白、/、: は使えません"),
                                     QStringLiteral("ホスト: 入力されていません"),
                                     QStringLiteral("ホスト: 空白、/、: は使えません")}));
        QCOMPARE(box_->shown.size(), size_t{5});
        QCOMPARE(config.nodeHost(), std::string("node.example"));
    }

    // Confirmed options are written at once (a crash later keeps them); closing writes nothing.
    void confirmedOptionsAreWrittenAtOnce() {
        whenModal([](QWidget* dialog) {
            child<QLineEdit>(dialog, "host")->setText(QStringLiteral("node.example"));
            child<QPushButton>(dialog, "close")->click();
        });
        OptionDialog().open();
        QVERIFY(!std::filesystem::exists("config.db"));

        whenModal([](QWidget* dialog) {
            child<QLineEdit>(dialog, "host")->setText(QStringLiteral("node.example"));
            setPort(dialog, QStringLiteral("8123"));
            child<QCheckBox>(dialog, "control")->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        OptionDialog().open();
        Configuration stored;
        stored.load();
        QCOMPARE(stored.nodeHost(), std::string("node.example"));
        QCOMPARE(stored.nodePort(), uint16_t{8123});
        QVERIFY(!stored.controlNodeProgram());
        QVERIFY(box_->shown.empty());
    }

    void controlBoxEnablesThePathAndStoresTheSetting() {
        auto& config = Configuration::instance();
        config.setControlNodeProgram(true);
        QString shownPath;
        bool enabledAtFirst = false, disabledWhenUnchecked = false;
        whenModal([&](QWidget* dialog) {
            auto* control = child<QCheckBox>(dialog, "control");
            auto* path = child<QLineEdit>(dialog, "path");
            auto* browse = child<QPushButton>(dialog, "browse");
            shownPath = path->text();
            enabledAtFirst = control->isChecked() && path->isEnabled() && browse->isEnabled();
            control->click();
            disabledWhenUnchecked = !path->isEnabled() && !browse->isEnabled();
            child<QPushButton>(dialog, "apply")->click();
        });
        OptionDialog().open();
        QVERIFY(enabledAtFirst);
        QVERIFY(disabledWhenUnchecked);
        QVERIFY(!config.controlNodeProgram());
        // The field shows the resolved path, but applying without "..." stores none of it.
        QCOMPARE(shownPath, QString::fromStdString(config.nodeProgramPath()));
        QCOMPARE(config.nodeProgramPathSetting(), std::string("node/bryndle-node"));

        whenModal([&](QWidget* dialog) {
            auto* control = child<QCheckBox>(dialog, "control");
            enabledAtFirst = control->isChecked() || child<QLineEdit>(dialog, "path")->isEnabled();
            control->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        OptionDialog().open();
        QVERIFY(!enabledAtFirst);
        QVERIFY(config.controlNodeProgram());
    }

    void pathIsStoredOnlyWhenChosen() {
        auto& config = Configuration::instance();
        files_->answer = QString();
        QString afterCancel;
        whenModal([&](QWidget* dialog) {
            child<QPushButton>(dialog, "browse")->click();
            afterCancel = child<QLineEdit>(dialog, "path")->text();
            child<QPushButton>(dialog, "apply")->click();
        });
        OptionDialog().open();
        QCOMPARE(afterCancel, QString::fromStdString(config.nodeProgramPath()));
        QCOMPARE(config.nodeProgramPathSetting(), std::string("node/bryndle-node"));
        QCOMPARE(files_->filters, std::vector<QString>{QStringLiteral("*")});

        files_->answer = QStringLiteral("/opt/saku/saku");
        QString afterChoice;
        whenModal([&](QWidget* dialog) {
            child<QPushButton>(dialog, "browse")->click();
            afterChoice = child<QLineEdit>(dialog, "path")->text();
            // Closed without applying: nothing is stored.
            child<QPushButton>(dialog, "close")->click();
        });
        OptionDialog().open();
        QCOMPARE(afterChoice, QStringLiteral("/opt/saku/saku"));
        QCOMPARE(config.nodeProgramPathSetting(), std::string("node/bryndle-node"));

        whenModal([&](QWidget* dialog) {
            child<QPushButton>(dialog, "browse")->click();
            child<QPushButton>(dialog, "apply")->click();
        });
        OptionDialog().open();
        QCOMPARE(config.nodeProgramPathSetting(), std::string("/opt/saku/saku"));
        QCOMPARE(config.nodeProgramPath(), std::string("/opt/saku/saku"));
    }

    void optionWindowLooksAsDescribed() {
        QString title, host, port;
        whenModal([&](QWidget* dialog) {
            title = dialog->windowTitle();
            host = child<QLineEdit>(dialog, "host")->text();
            port = child<QLineEdit>(dialog, "port")->text();
            QCOMPARE(child<QPushButton>(dialog, "apply")->text(), QStringLiteral("設定"));
            QCOMPARE(child<QPushButton>(dialog, "close")->text(), QStringLiteral("閉じる"));
            QCOMPARE(child<QCheckBox>(dialog, "control")->text(), QStringLiteral("朔を制御する"));
            QVERIFY(child<QPushButton>(dialog, "apply")->isDefault());
            QVERIFY(child<QLineEdit>(dialog, "path")->isReadOnly());
            dialog->close();
        });
        Configuration::instance().setNodePort(8123);
        OptionDialog().open(QPoint(40, 50));
        QCOMPARE(title, QStringLiteral("オプション"));
        QCOMPARE(host, QStringLiteral("localhost"));
        QCOMPARE(port, QStringLiteral("8123"));
    }

    void oneLineDialogKeepsTheConfirmedText() {
        OneLineEditDialog dialog(QStringLiteral("ホームページ変更"), QStringLiteral("アドレス"),
                                 256);
        QCOMPARE(dialog.getButtonText(), QStringLiteral("設定"));
        QCOMPARE(dialog.textLimit(), 256);
        QString title, label, button, initial;
        whenModal([&](QWidget* window) {
            title = window->windowTitle();
            label = anyChild<QLabel>(window)->text();
            button = child<QPushButton>(window, "confirm")->text();
            auto* field = child<QLineEdit>(window, "text");
            initial = field->text();
            QTest::keyClicks(field, QStringLiteral("http://127.0.0.1:8000/"));
            child<QPushButton>(window, "confirm")->click();
        });
        QCOMPARE(dialog.open(), 32);
        QCOMPARE(title, QStringLiteral("ホームページ変更"));
        QCOMPARE(label, QStringLiteral("アドレス"));
        QCOMPARE(button, QStringLiteral("設定"));
        QCOMPARE(initial, QString());
        QCOMPARE(dialog.getText(), QStringLiteral("http://127.0.0.1:8000/"));

        // Reopened, it shows the last text; "閉じる" keeps it whatever was typed.
        whenModal([&](QWidget* window) {
            auto* field = child<QLineEdit>(window, "text");
            initial = field->text();
            field->setText(QStringLiteral("discarded"));
            child<QPushButton>(window, "close")->click();
        });
        QCOMPARE(dialog.open(), 256);
        QCOMPARE(initial, QStringLiteral("http://127.0.0.1:8000/"));
        QCOMPARE(dialog.getText(), QStringLiteral("http://127.0.0.1:8000/"));

        // So does the window's close box.
        whenModal([&](QWidget* window) {
            child<QLineEdit>(window, "text")->setText(QStringLiteral("discarded"));
            window->close();
        });
        QCOMPARE(dialog.open(QPoint(10, 10)), 256);
        QCOMPARE(dialog.getText(), QStringLiteral("http://127.0.0.1:8000/"));

        // Enter confirms: the confirm button is the default one.
        dialog.setText(QStringLiteral("preset"));
        dialog.setButtonText(QStringLiteral("作成"));
        whenModal([&](QWidget* window) {
            button = child<QPushButton>(window, "confirm")->text();
            auto* field = child<QLineEdit>(window, "text");
            initial = field->text();
            QTest::keyClick(field, Qt::Key_Return);
        });
        QCOMPARE(dialog.open(), 32);
        QCOMPARE(button, QStringLiteral("作成"));
        QCOMPARE(initial, QStringLiteral("preset"));
        QCOMPARE(dialog.getText(), QStringLiteral("preset"));
    }

    // A text given beforehand that is longer than the limit is shown whole, not cut; confirmed
    // unchanged it is refused with a message, shortened it is taken.
    void longerTextGivenBeforehandIsKeptAndRefused() {
        OneLineEditDialog dialog(QStringLiteral("ホームページ変更"), QStringLiteral("アドレス"),
                                 256);
        const QString longPage = QStringLiteral("http://example.org/") + QString(281, u'a');
        QCOMPARE(longPage.size(), 300);
        dialog.setText(longPage);
        QString shown;
        bool openAfterRefusal = false;
        whenModal([&](QWidget* window) {
            auto* field = child<QLineEdit>(window, "text");
            shown = field->text();
            child<QPushButton>(window, "confirm")->click();
            openAfterRefusal = window->isVisible();
            field->setText(longPage.left(256));
            child<QPushButton>(window, "confirm")->click();
        });
        QCOMPARE(dialog.open(), 32);
        QCOMPARE(shown, longPage);
        QVERIFY(openAfterRefusal);
        QCOMPARE(box_->shown.size(), size_t{1});
        QCOMPARE(box_->shown[0].text, QStringLiteral("256文字以内で入力してください"));
        QCOMPARE(box_->shown[0].icon, MessageBox::Icon::Warning);
        QCOMPARE(dialog.getText(), longPage.left(256));

        // Closed instead, the long text stays.
        dialog.setText(longPage);
        whenModal([](QWidget* window) { child<QPushButton>(window, "close")->click(); });
        QCOMPARE(dialog.open(), 256);
        QCOMPARE(dialog.getText(), longPage);
    }

    void recordsPerPageAreOneToAThousand() {
        QCOMPARE(RecordsPerPageEditDialog::parse(QStringLiteral("1")), std::optional<int32_t>(1));
        QCOMPARE(RecordsPerPageEditDialog::parse(QStringLiteral(" 1000 ")),
                 std::optional<int32_t>(1000));
        QCOMPARE(RecordsPerPageEditDialog::parse(QStringLiteral("030")),
                 std::optional<int32_t>(30));
        for (const char* refused :
             {"0", "1001", "-5", "+5", "", "3 0", "1e3", "99999999999", "３０"})
            QVERIFY2(!RecordsPerPageEditDialog::parse(QString::fromUtf8(refused)), refused);
        QVERIFY(Configuration::isValidItemsPerPage(1));
        QVERIFY(Configuration::isValidItemsPerPage(1000));
        QVERIFY(!Configuration::isValidItemsPerPage(0));
        QVERIFY(!Configuration::isValidItemsPerPage(1001));

        RecordsPerPageEditDialog dialog;
        QCOMPARE(dialog.textLimit(), 50);
        QString title, label;
        bool openAfterRefusals = false;
        whenModal([&](QWidget* window) {
            title = window->windowTitle();
            label = anyChild<QLabel>(window)->text();
            auto* field = child<QLineEdit>(window, "text");
            for (const char* refused : {"0", "1001", "abc"}) {
                field->setText(QString::fromUtf8(refused));
                child<QPushButton>(window, "confirm")->click();
            }
            openAfterRefusals = window->isVisible();
            field->setText(QStringLiteral("50"));
            child<QPushButton>(window, "confirm")->click();
        });
        QCOMPARE(dialog.open(), 32);
        QCOMPARE(title, QStringLiteral("表示件数変更"));
        QCOMPARE(label, QStringLiteral("1ページの表示件数"));
        QVERIFY(openAfterRefusals);
        QCOMPARE(box_->shown.size(), size_t{3});
        QCOMPARE(box_->shown[0].text,
                 QStringLiteral("1ページの表示件数: 1から1000までの数を入力してください"));
        QCOMPARE(dialog.value(), std::optional<int32_t>(50));
    }

    void textLimits() {
        NewThreadEditDialog newThread(QStringLiteral("新規スレッド作成"),
                                      QStringLiteral("スレッド名"), 256);
        QCOMPARE(newThread.textLimit(), 30);
        int maxLength = 0;
        whenModal([&](QWidget* window) {
            auto* field = child<QLineEdit>(window, "text");
            maxLength = field->maxLength();
            QTest::keyClicks(field, QString(25, u'a'));
            field->insert(QString(15, u'名'));
            child<QPushButton>(window, "confirm")->click();
        });
        QCOMPARE(newThread.open(), 32);
        QCOMPARE(maxLength, 30);
        QCOMPARE(newThread.getText(), QString(25, u'a') + QString(5, u'名'));

        OneLineEditDialog perPage(QStringLiteral("表示件数変更"),
                                  QStringLiteral("1ページの表示件数"), 50);
        QCOMPARE(perPage.textLimit(), 50);
        whenModal([&](QWidget* window) {
            auto* field = child<QLineEdit>(window, "text");
            maxLength = field->maxLength();
            QTest::keyClicks(field, QString(60, u'9'));
            child<QPushButton>(window, "confirm")->click();
        });
        QCOMPARE(perPage.open(), 32);
        QCOMPARE(maxLength, 50);
        QCOMPARE(perPage.getText().size(), 50);
    }

    void aboutDialogShowsBannerAndCredits() {
        QString title, text;
        bool banner = false, readOnly = false, centred = false, okDefault = false;
        whenModal([&](QWidget* window) {
            title = window->windowTitle();
            banner = !child<QLabel>(window, "banner")->pixmap().isNull();
            auto* credits = child<QPlainTextEdit>(window, "text");
            text = credits->toPlainText();
            readOnly = credits->isReadOnly();
            const QRect screen = QGuiApplication::primaryScreen()->geometry();
            centred = window->pos() ==
                      screen.topLeft() + QPoint((screen.width() - window->width()) / 2,
                                                (screen.height() - window->height()) / 2);
            auto* ok = child<QPushButton>(window, "ok");
            okDefault = ok->isDefault() && ok->text() == QStringLiteral("OK");
            ok->click();
        });
        AboutDialog().open();
        QCOMPARE(title, QStringLiteral("Bryndle a 0.14"));
        QVERIFY(banner);
        QVERIFY(readOnly);
        QVERIFY(centred);
        QVERIFY(okDefault);
        const QStringList lines = text.split(u'\n');
        QCOMPARE(lines.value(0), QStringLiteral("-= Bryndle a 0.14 =-"));
        QCOMPARE(lines.value(1), QString());
        QCOMPARE(lines.value(4), QString());
        QCOMPARE(lines.value(5), QStringLiteral("-= Special Thanks =-"));
        QCOMPARE(lines.value(7), QStringLiteral("新月プロジェクト:"));
        QVERIFY(lines.value(8).startsWith(QStringLiteral("\t- http")));
        QVERIFY(lines.value(9).contains(QStringLiteral("Silk")));
        QVERIFY(lines.value(9).endsWith(u':'));
        QVERIFY(lines.value(10).startsWith(QStringLiteral("\t- http")));
    }
};

BRYNDLE_QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
