#pragma once

#include <QPoint>
#include <QString>

#include <optional>

class QDialog;
class QLineEdit;

namespace bryndle {

// Asks for one line of text. open() returns Ok (32) after the confirm button, Cancel (256)
// otherwise; the text of the last confirmation is kept for the next opening. A text the dialog
// refuses (longer than textLimit, or what a subclass refuses) keeps the window open with a
// message; a longer text given beforehand is shown whole, not cut.
class OneLineEditDialog {
public:
    static constexpr int Ok = 32;
    static constexpr int Cancel = 256;

    OneLineEditDialog(QString title, QString label, int width);
    virtual ~OneLineEditDialog() = default;

    virtual void onClose();
    virtual void onOK();
    // The most characters the field takes.
    virtual int textLimit() const { return width_; }
    // Why the confirmed text cannot be taken, or empty when it can.
    virtual QString refusal(const QString& text) const;
    // Modal: returns when the window has been closed.
    virtual int open(std::optional<QPoint> location = std::nullopt);
    virtual QString getText() const { return text_; }
    virtual void setText(const QString& text) { text_ = text; }
    virtual void setButtonText(const QString& text) { buttonText_ = text; }
    virtual QString getButtonText() const { return buttonText_; }

private:
    QString title_;
    QString label_;
    QString text_;
    QString buttonText_ = QStringLiteral("設定");
    int width_;
    int result_ = Cancel;
    QDialog* window_ = nullptr;
    QLineEdit* field_ = nullptr;
};

} // namespace bryndle
