#include "toolkit/settingsprogram.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace bryndle {

std::vector<SettingsProgram> networkSettingsPrograms() {
    return {
        {QStringLiteral("gnome-control-center"), {QStringLiteral("network")}},
        {QStringLiteral("systemsettings"), {QStringLiteral("kcm_proxy")}},
        {QStringLiteral("systemsettings5"), {QStringLiteral("proxy")}},
        {QStringLiteral("cinnamon-settings"), {QStringLiteral("network")}},
        {QStringLiteral("nm-connection-editor"), {}},
    };
}

std::optional<SettingsProgram> findSettingsProgram(const std::vector<SettingsProgram>& candidates) {
    for (const auto& candidate : candidates) {
        QString path;
        if (candidate.program.contains(u'/')) {
            const QFileInfo info(candidate.program);
            if (info.isFile() && info.isExecutable())
                path = info.absoluteFilePath();
        } else {
            path = QStandardPaths::findExecutable(candidate.program);
        }
        if (!path.isEmpty())
            return SettingsProgram{path, candidate.arguments};
    }
    return std::nullopt;
}

} // namespace bryndle
