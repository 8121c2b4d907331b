#include "toolkit/messagebox.h"

#include "toolkit/eventloop.h"

#include <QAbstractButton>
#include <QMessageBox>

namespace bryndle {

namespace {

class ToolkitMessageBox : public MessageBox {
public:
    int open(QWidget* parent, const QString& title, const QString& text, Icon icon,
             int buttons) override {
        if (EventLoop::isTerminating())
            return escapeAnswer(buttons);
        QMessageBox box(parent);
        box.setWindowTitle(title);
        // Texts come from nodes and errors too: never read as markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
        box.setIcon(toQt(icon));
        const std::pair<int, QMessageBox::StandardButton> map[] = {{OK, QMessageBox::Ok},
                                                                   {Yes, QMessageBox::Yes},
                                                                   {No, QMessageBox::No},
                                                                   {Cancel, QMessageBox::Cancel}};
        QMessageBox::StandardButtons standard;
        for (const auto& [code, button] : map)
            if (buttons & code)
                standard |= button;
        box.setStandardButtons(standard ? standard : QMessageBox::StandardButtons(QMessageBox::Ok));
        // The button texts of the system's Japanese message boxes.
        const std::pair<QMessageBox::StandardButton, const char16_t*> texts[] = {
            {QMessageBox::Yes, u"はい(&Y)"},
            {QMessageBox::No, u"いいえ(&N)"},
            {QMessageBox::Cancel, u"キャンセル"}};
        for (const auto& [button, text] : texts)
            if (QAbstractButton* widget = box.button(button))
                widget->setText(QString::fromUtf16(text));
        const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
        for (const auto& [code, button] : map)
            if (pressed == button)
                return code;
        return escapeAnswer(buttons);
    }

private:
    // Closed without a button.
    static int escapeAnswer(int buttons) {
        if (buttons & Cancel)
            return Cancel;
        if (buttons & No)
            return No;
        return OK;
    }

    static QMessageBox::Icon toQt(Icon icon) {
        switch (icon) {
        case Icon::Information:
            return QMessageBox::Information;
        case Icon::Question:
            return QMessageBox::Question;
        case Icon::Warning:
            return QMessageBox::Warning;
        case Icon::Error:
            return QMessageBox::Critical;
        case Icon::None:
            break;
        }
        return QMessageBox::NoIcon;
    }
};

std::unique_ptr<MessageBox>& current() {
    static std::unique_ptr<MessageBox> box = std::make_unique<ToolkitMessageBox>();
    return box;
}

} // namespace

MessageBox& MessageBox::instance() {
    return *current();
}

void MessageBox::setInstance(std::unique_ptr<MessageBox> box) {
    current() = box ? std::move(box) : std::make_unique<ToolkitMessageBox>();
}

void MessageBox::warning(const QString& text, QWidget* parent, const QString& title) {
    instance().open(parent, title, text, Icon::Warning, OK);
}

bool MessageBox::askYesNo(QWidget* parent, const QString& title, const QString& text) {
    return instance().open(parent, title, text, Icon::None, Yes | No) == Yes;
}

} // namespace bryndle
