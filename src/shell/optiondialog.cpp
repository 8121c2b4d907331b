#include "shell/optiondialog.h"

#include "config/configuration.h"
#include "foundation/conv.h"
#include "shell/saveconfiguration.h"
#include "toolkit/eventloop.h"
#include "toolkit/filedialog.h"
#include "toolkit/keyfilter.h"
#include "toolkit/messagebox.h"
#include "toolkit/modalwindow.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace bryndle {

uint16_t OptionDialog::parsePort(const std::string& text) {
    if (text.empty())
        throw ConvError(text);
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            throw ConvError(text);
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > 4294967295ull)
            throw ConvOverflowError(text);
    }
    return static_cast<uint16_t>(value & 0xffffu);
}

QString OptionDialog::hostError(const QString& host) {
    if (host.isEmpty())
        return QStringLiteral("ホスト: 入力されていません");
    for (const QChar c : host)
        if (c.isSpace() || c == u'/' || c == u':')
            return QStringLiteral("ホスト: 空白、/、: は使えません");
    return {};
}

void OptionDialog::onClose() {
    if (window_)
        window_->close();
}

void OptionDialog::onApply() {
    auto& config = Configuration::instance();
    uint16_t port = 0;
    try {
        port = parsePort(port_->text().toStdString());
    } catch (const Exception& e) {
        MessageBox::warning(QStringLiteral("ポート: ") + QString::fromStdString(e.message()));
        return;
    }
    // Blanks around the host would make every request fail to resolve.
    const QString host = host_->text().trimmed();
    if (const QString error = hostError(host); !error.isEmpty()) {
        MessageBox::warning(error);
        return;
    }
    config.setNodePort(port);
    config.setNodeHost(host.toStdString());
    config.setControlNodeProgram(control_->isChecked());
    if (pathChosen_)
        config.setNodeProgramPath(path_->text().toStdString());
    saveConfiguration();
    window_->close();
}

void OptionDialog::onControlToggle() {
    const bool on = control_->isChecked();
    path_->setEnabled(on);
    browse_->setEnabled(on);
}

void OptionDialog::onBrowse() {
    const QString path =
        FileDialog::instance().openFile(window_, QString::fromLatin1(ProgramFilter));
    if (path.isEmpty())
        return;
    path_->setText(path);
    pathChosen_ = true;
}

bool OptionDialog::onPortKey(QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() != 1)
        return true;
    const QChar c = text.front();
    const bool letter = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    const bool space =
        c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
    return !(letter || space);
}

void OptionDialog::open(std::optional<QPoint> location) {
    auto& config = Configuration::instance();
    QDialog window;
    window.setObjectName(QStringLiteral("OptionDialog"));
    window.setWindowTitle(QStringLiteral("オプション"));
    auto* grid = new QGridLayout(&window);

    auto* gateway = new QGroupBox(QStringLiteral("ゲートウェイ"), &window);
    auto* gatewayGrid = new QGridLayout(gateway);
    gatewayGrid->addWidget(new QLabel(QStringLiteral("ホスト"), gateway), 0, 0);
    auto* host = new QLineEdit(QString::fromStdString(config.nodeHost()), gateway);
    host->setObjectName(QStringLiteral("host"));
    host->setMinimumWidth(200);
    gatewayGrid->addWidget(host, 0, 1);
    gatewayGrid->addWidget(new QLabel(QStringLiteral("ポート"), gateway), 1, 0);
    auto* port = new QLineEdit(QString::number(config.nodePort()), gateway);
    port->setObjectName(QStringLiteral("port"));
    port->setFixedWidth(100);
    new KeyFilter(port, [this](QKeyEvent* event) { return onPortKey(event); });
    gatewayGrid->addWidget(port, 1, 1, Qt::AlignLeft);
    grid->addWidget(gateway, 0, 0);

    auto* saku = new QGroupBox(QStringLiteral("朔-WinSaku"), &window);
    auto* sakuGrid = new QGridLayout(saku);
    auto* control = new QCheckBox(QStringLiteral("朔を制御する"), saku);
    control->setObjectName(QStringLiteral("control"));
    control->setChecked(config.controlNodeProgram());
    sakuGrid->addWidget(control, 0, 0, 1, 3);
    sakuGrid->addWidget(new QLabel(QStringLiteral("朔"), saku), 1, 0);
    auto* path = new QLineEdit(QString::fromStdString(config.nodeProgramPath()), saku);
    path->setObjectName(QStringLiteral("path"));
    path->setReadOnly(true);
    path->setMinimumWidth(300);
    sakuGrid->addWidget(path, 1, 1);
    auto* browse = new QPushButton(QStringLiteral("..."), saku);
    browse->setObjectName(QStringLiteral("browse"));
    browse->setFlat(true);
    browse->setAutoDefault(false);
    sakuGrid->addWidget(browse, 1, 2);
    grid->addWidget(saku, 1, 0);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* apply = new QPushButton(QStringLiteral("設定"), &window);
    apply->setObjectName(QStringLiteral("apply"));
    apply->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("閉じる"), &window);
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    const int buttonWidth = std::max(apply->sizeHint().width(), close->sizeHint().width());
    apply->setMinimumWidth(buttonWidth);
    close->setMinimumWidth(buttonWidth);
    buttons->addWidget(apply);
    buttons->addWidget(close);
    grid->addLayout(buttons, 2, 0);

    window_ = &window;
    host_ = host;
    port_ = port;
    control_ = control;
    path_ = path;
    browse_ = browse;
    onControlToggle();

    QObject::connect(control, &QCheckBox::toggled, EventLoop::guard([this] { onControlToggle(); }));
    QObject::connect(browse, &QPushButton::clicked, EventLoop::guard([this] { onBrowse(); }));
    QObject::connect(apply, &QPushButton::clicked, EventLoop::guard([this] { onApply(); }));
    QObject::connect(close, &QPushButton::clicked, EventLoop::guard([this] { onClose(); }));

    if (location)
        window.move(*location);
    window.adjustSize();
    struct Forget {
        OptionDialog* dialog;
        ~Forget() {
            dialog->window_ = nullptr;
            dialog->host_ = dialog->port_ = dialog->path_ = nullptr;
            dialog->control_ = nullptr;
            dialog->browse_ = nullptr;
        }
    } forget{this};
    runModal(window);
}

} // namespace bryndle
