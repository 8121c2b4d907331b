#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace bryndle {

// A desktop program to run for a settings panel: the program's name or path and its arguments.
struct SettingsProgram {
    QString program;
    QStringList arguments;
};

// The network and proxy settings programs of the common desktops, most specific first.
std::vector<SettingsProgram> networkSettingsPrograms();

// The first candidate that is installed (a path that exists, or a name found on PATH), with
// its program resolved to a full path.
std::optional<SettingsProgram> findSettingsProgram(const std::vector<SettingsProgram>& candidates);

} // namespace bryndle
