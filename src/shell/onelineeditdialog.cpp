#include "shell/onelineeditdialog.h"

#include "toolkit/eventloop.h"
#include "toolkit/messagebox.h"
#include "toolkit/modalwindow.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace bryndle {

OneLineEditDialog::OneLineEditDialog(QString title, QString label, int width)
    : title_(std::move(title)), label_(std::move(label)), width_(width) {}

void OneLineEditDialog::onClose() {
    if (window_)
        window_->close();
}

QString OneLineEditDialog::refusal(const QString& text) const {
    if (text.size() > textLimit())
        return QStringLiteral("%1文字以内で入力してください").arg(textLimit());
    return {};
}

void OneLineEditDialog::onOK() {
    if (!window_)
        return;
    const QString text = field_->text();
    if (const QString why = refusal(text); !why.isEmpty()) {
        MessageBox::warning(why);
        return;
    }
    window_->close();
    result_ = Ok;
    text_ = text;
}

int OneLineEditDialog::open(std::optional<QPoint> location) {
    result_ = Cancel;
    QDialog window;
    window.setObjectName(QStringLiteral("OneLineEditDialog"));
    window.setWindowTitle(title_);
    auto* grid = new QGridLayout(&window);
    grid->addWidget(new QLabel(label_, &window), 0, 0);
    auto* field = new QLineEdit(&window);
    field->setObjectName(QStringLiteral("text"));
    // The limit cuts what the field holds: a longer text given beforehand is kept whole, and
    // refused when confirmed unless shortened.
    field->setMaxLength(std::max(textLimit(), int(text_.size())));
    field->setText(text_);
    field->setMinimumWidth(width_);
    grid->addWidget(field, 0, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* confirm = new QPushButton(buttonText_, &window);
    confirm->setObjectName(QStringLiteral("confirm"));
    confirm->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("閉じる"), &window);
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    const int buttonWidth = std::max(confirm->sizeHint().width(), close->sizeHint().width());
    confirm->setMinimumWidth(buttonWidth);
    close->setMinimumWidth(buttonWidth);
    buttons->addWidget(confirm);
    buttons->addWidget(close);
    grid->addLayout(buttons, 1, 0, 1, 2);

    QObject::connect(confirm, &QPushButton::clicked, EventLoop::guard([this] { onOK(); }));
    QObject::connect(close, &QPushButton::clicked, EventLoop::guard([this] { onClose(); }));

    window_ = &window;
    field_ = field;
    if (location)
        window.move(*location);
    window.adjustSize();
    struct Forget {
        OneLineEditDialog* dialog;
        ~Forget() {
            dialog->window_ = nullptr;
            dialog->field_ = nullptr;
        }
    } forget{this};
    runModal(window);
    return result_;
}

} // namespace bryndle
