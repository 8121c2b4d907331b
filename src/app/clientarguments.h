#pragma once

#include <QString>
#include <QStringList>

namespace bryndle {

// The client's command line: bryndle [--help | --version] [LOCATION]. Read before the display
// is opened, so that --help, --version and a refused location need none.
class ClientArguments {
public:
    enum class Action { Run, Help, Version, Refuse };

    // `arguments` with the program's name first, as argv has them.
    static ClientArguments parse(const QStringList& arguments);
    // Why a location cannot be opened, or empty when it can: a shingetsu:// location that
    // parses, or an http:// or https:// address with a host.
    static QString refusal(const QString& location);

    static QString helpText();
    static QString versionText();

    Action action = Action::Run;
    // The location to open; empty for none.
    QString location;
    // Refuse: what is wrong, for the standard error.
    QString message;
};

} // namespace bryndle
