#include "shell/aboutdialog.h"

#include "config/configuration.h"
#include "shell/icon.h"
#include "toolkit/eventloop.h"
#include "toolkit/modalwindow.h"

#include <QDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace bryndle {

QString AboutDialog::text() {
    const QString title = QString::fromStdString(Configuration::programTitle());
    return QStringLiteral("-= %1 =-\n"
                          "\n"
                          "Bryndle 開発チーム\n"
                          "ウェブログ: 準備中\n"
                          "\n"
                          "-= Special Thanks =-\n"
                          "\n"
                          "新月プロジェクト:\n"
                          "\t- https://shingetsu.info/\n"
                          "Silk アイコン (Mark James, CC BY 2.5):\n"
                          "\t- http://www.famfamfam.com/lab/icons/silk/")
        .arg(title);
}

void AboutDialog::onClose(QDialog* window) {
    window->close();
}

void AboutDialog::onOK(QDialog* window) {
    window->close();
}

void AboutDialog::open() {
    QDialog window;
    window.setObjectName(QStringLiteral("AboutDialog"));
    window.setWindowTitle(QString::fromStdString(Configuration::programTitle()));
    auto* grid = new QGridLayout(&window);

    auto* banner = new QLabel(&window);
    banner->setObjectName(QStringLiteral("banner"));
    banner->setPixmap(getIcon("bryndle_banner"));
    grid->addWidget(banner, 0, 0);

    auto* credits = new QPlainTextEdit(text(), &window);
    credits->setObjectName(QStringLiteral("text"));
    credits->setReadOnly(true);
    credits->setLineWrapMode(QPlainTextEdit::NoWrap);
    credits->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Wide enough for the longest line, so that it opens without a scroll bar.
    const QFontMetrics metrics(credits->font());
    credits->setTabStopDistance(metrics.horizontalAdvance(QLatin1Char(' ')) * 4);
    int widest = 0;
    for (const QString& line : credits->toPlainText().split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(
                                      QString(line).replace(u'\t', QStringLiteral("    "))));
    credits->setMinimumWidth(widest + 2 * int(credits->document()->documentMargin()) +
                             2 * credits->frameWidth() + 8);
    grid->addWidget(credits, 1, 0);

    auto* ok = new QPushButton(QStringLiteral("OK"), &window);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setFlat(true);
    ok->setDefault(true);
    ok->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QObject::connect(ok, &QPushButton::clicked,
                     EventLoop::guard([this, &window] { onOK(&window); }));
    grid->addWidget(ok, 2, 0);

    window.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        // The primary screen need not start at 0,0 (a second screen left of or above it).
        window.move(area.x() + (area.width() - window.width()) / 2,
                    area.y() + (area.height() - window.height()) / 2);
    }
    runModal(window);
}

} // namespace bryndle
