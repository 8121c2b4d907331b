#pragma once

#include <QString>

#include <memory>

class QWidget;

namespace bryndle {

// Modal message boxes, their texts shown as plain text. The process-wide instance can be
// replaced, so that tests answer for the user and see what was shown. While the program is
// ending the toolkit's box shows nothing and gives the answer of its close box.
class MessageBox {
public:
    enum class Icon { None, Information, Question, Warning, Error };
    // Button codes, also the dialogs' result codes.
    static constexpr int OK = 32;
    static constexpr int Yes = 64;
    static constexpr int No = 128;
    static constexpr int Cancel = 256;

    virtual ~MessageBox() = default;
    // Shows the box and returns the code of the pressed button; buttons ORs the codes.
    virtual int open(QWidget* parent, const QString& title, const QString& text, Icon icon,
                     int buttons) = 0;

    static MessageBox& instance();
    // Null restores the toolkit's own message box.
    static void setInstance(std::unique_ptr<MessageBox> box);

    // The title of boxes that have none of their own: the program file's name.
    static QString programFileTitle() { return QStringLiteral("bryndle"); }
    // OK button and warning icon.
    static void warning(const QString& text, QWidget* parent = nullptr,
                        const QString& title = programFileTitle());
    // Yes and No buttons, no icon; true for Yes.
    static bool askYesNo(QWidget* parent, const QString& title, const QString& text);
};

} // namespace bryndle
