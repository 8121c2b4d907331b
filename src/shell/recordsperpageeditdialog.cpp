#include "shell/recordsperpageeditdialog.h"

#include "config/configuration.h"

namespace bryndle {

RecordsPerPageEditDialog::RecordsPerPageEditDialog()
    : OneLineEditDialog(QStringLiteral("表示件数変更"), QStringLiteral("1ページの表示件数"), 50) {}

QString RecordsPerPageEditDialog::refusal(const QString& text) const {
    if (!parse(text))
        return QStringLiteral("1ページの表示件数: %1から%2までの数を入力してください")
            .arg(Configuration::MinRecordsPerPage)
            .arg(Configuration::MaxRecordsPerPage);
    return OneLineEditDialog::refusal(text);
}

std::optional<int32_t> RecordsPerPageEditDialog::parse(const QString& text) {
    const QString digits = text.trimmed();
    // More digits than any accepted number (leading zeros aside) cannot be one.
    if (digits.isEmpty() || digits.size() > 9)
        return std::nullopt;
    int64_t value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (!Configuration::isValidItemsPerPage(value))
        return std::nullopt;
    return static_cast<int32_t>(value);
}

} // namespace bryndle
