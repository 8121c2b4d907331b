#pragma once

#include "shell/onelineeditdialog.h"

#include <cstdint>
#include <optional>

namespace bryndle {

// Asks for the number of records a thread page shows: "表示件数変更", a whole number from 1 to
// 1000; anything else keeps the window open with a message.
class RecordsPerPageEditDialog : public OneLineEditDialog {
public:
    RecordsPerPageEditDialog();
    QString refusal(const QString& text) const override;
    // The confirmed number, or nothing when the text is not one (before a confirmation).
    std::optional<int32_t> value() const { return parse(getText()); }

    // Decimal digits (blanks around them allowed) naming a number the configuration takes.
    static std::optional<int32_t> parse(const QString& text);
};

} // namespace bryndle
