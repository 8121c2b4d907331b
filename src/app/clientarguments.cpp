#include "app/clientarguments.h"

#include "config/configuration.h"
#include "store/schema.h"

#include <QCommandLineParser>
#include <QUrl>

namespace bryndle {

namespace {

ClientArguments refused(const QString& message) {
    ClientArguments result;
    result.action = ClientArguments::Action::Refuse;
    result.message = message;
    return result;
}

} // namespace

ClientArguments ClientArguments::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOption(help);
    parser.addOption(version);
    if (!parser.parse(arguments))
        return refused(parser.errorText());

    ClientArguments result;
    if (parser.isSet(help)) {
        result.action = Action::Help;
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Action::Version;
        return result;
    }
    const QStringList locations = parser.positionalArguments();
    if (locations.size() > 1)
        return refused(QStringLiteral("one location at a time, not %1").arg(locations.size()));
    if (locations.isEmpty())
        return result;
    if (const QString why = refusal(locations.front()); !why.isEmpty())
        return refused(QStringLiteral("cannot open \"%1\": %2").arg(locations.front(), why));
    result.location = locations.front();
    return result;
}

QString ClientArguments::refusal(const QString& location) {
    // No location holds them, and a line feed would end the hand-over's line early.
    for (const QChar c : location)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("control characters in a location");
    if (location.startsWith(QString::fromLatin1(Schema::Prefix.data(), Schema::Prefix.size()))) {
        try {
            Schema::parse(location.toStdString());
            return {};
        } catch (const std::exception& error) {
            return QString::fromStdString(error.what());
        }
    }
    const QUrl url(location, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return QStringLiteral("not a shingetsu://, http:// or https:// location");
    if (!url.isValid() || url.host().isEmpty())
        return QStringLiteral("not a web address");
    return {};
}

QString ClientArguments::helpText() {
    return QStringLiteral("usage: bryndle [--help] [--version] [LOCATION]\n"
                          "%1: a client for the Shingetsu bulletin board.\n"
                          "\n"
                          "LOCATION, a shingetsu:// location or an http:// or https:// address, "
                          "opens in a tab.\n"
                          "When the client already runs with the same runtime folder, the location "
                          "is handed to\n"
                          "it, its window comes to the front, and this start ends.\n"
                          "\n"
                          "options:\n"
                          "  -h, --help     this text\n"
                          "  -v, --version  the program's name and version\n")
        .arg(QString::fromStdString(Configuration::programTitle()));
}

QString ClientArguments::versionText() {
    return QString::fromStdString(Configuration::programTitle()) + QLatin1Char('\n');
}

} // namespace bryndle
