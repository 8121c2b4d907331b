#include "app/cli.h"

#include "config/configuration.h"
#include "foundation/decimal.h"
#include "http/httpconnectionexception.h"
#include "node/shingetsuio.h"

#include <cstring>
#include <filesystem>
#include <ostream>

namespace bryndle {

namespace {

const char* const Program = "bryndle-cli";

// One line: the name and its arguments, then the description in a column.
void printEntry(std::ostream& out, const std::string& entry, const std::string& description) {
    out << "  " << entry;
    if (!description.empty())
        out << std::string(entry.size() < 26 ? 26 - entry.size() : 1, ' ') << description;
    out << "\n";
}

void printUsage(std::ostream& out, const CliCommandTable& commands) {
    out << "usage: " << Program << " [--node HOST:PORT] [--timeout SECONDS] COMMAND\n"
        << "options:\n";
    printEntry(out, "--node HOST:PORT", "the node (else the one of config.db here)");
    printEntry(out, "--timeout SECONDS", "bounds every wait and each whole request");
    printEntry(out, "--help", "this text");
    out << "commands:\n";
    for (const CliCommand& command : commands.commands())
        printEntry(
            out, command.arguments.empty() ? command.name : command.name + " " + command.arguments,
            command.description);
    out << "The node defaults to the host and port of config.db in the current directory.\n";
}

void parseNode(const std::string& text, CliContext& context) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        throw CliUsageError("--node needs HOST:PORT, not \"" + text + "\"");
    uint64_t port = 0;
    try {
        port = parseDecimal(text.substr(colon + 1), 65535);
    } catch (const std::exception&) {
        port = 0;
    }
    if (port == 0)
        throw CliUsageError("--node needs a port from 1 to 65535, not \"" + text + "\"");
    context.nodeHost = text.substr(0, colon);
    context.nodePort = static_cast<uint16_t>(port);
}

} // namespace

const CliCommand* CliCommandTable::find(std::string_view name) const {
    for (const CliCommand& command : commands_)
        if (command.name == name)
            return &command;
    return nullptr;
}

CliCommandTable cliCommands() {
    CliCommandTable table;
    addNodeCommands(table);
    addPageCommands(table);
    return table;
}

uint32_t cliStamp(const std::string& text, const char* what) {
    try {
        return parseDecimalUInt32(text);
    } catch (const std::exception&) {
        throw CliUsageError(std::string(what) + " must be a time stamp in decimal, not \"" + text +
                            "\"");
    }
}

std::string cliErrorText(const std::exception& error) {
    std::string text = error.what();
    if (auto* connection = dynamic_cast<const HTTPConnectionException*>(&error))
        if (connection->errorCode() != 0)
            text += std::string(": ") + std::strerror(connection->errorCode());
    return text;
}

int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const CliCommandTable& commands) {
    CliContext context{out, err, {}, 0, ShinGETsuIO::DefaultTimeout, {}, {}};
    bool nodeGiven = false;
    try {
        size_t i = 0;
        for (; i < arguments.size() && arguments[i].rfind("--", 0) == 0; ++i) {
            const std::string& option = arguments[i];
            if (option == "--help") {
                printUsage(out, commands);
                return 0;
            }
            if (i + 1 >= arguments.size())
                throw CliUsageError(option + " needs a value");
            if (option == "--node") {
                parseNode(arguments[++i], context);
                nodeGiven = true;
            } else if (option == "--timeout") {
                const std::string& value = arguments[++i];
                try {
                    context.timeout = static_cast<int32_t>(parseDecimal(value, INT32_MAX));
                } catch (const std::exception&) {
                    throw CliUsageError("--timeout needs whole seconds, not \"" + value + "\"");
                }
                // Each whole request too: a node that trickles its answer ends in time.
                context.deadline = context.timeout;
            } else {
                throw CliUsageError("unknown option " + option);
            }
        }
        if (i >= arguments.size())
            throw CliUsageError("no command given");
        const CliCommand* command = commands.find(arguments[i]);
        if (!command)
            throw CliUsageError("unknown command " + arguments[i]);
        context.arguments.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                 arguments.end());
        if (context.arguments.size() < command->minArguments ||
            context.arguments.size() > command->maxArguments)
            throw CliUsageError("usage: " + std::string(Program) + " " + command->name + " " +
                                command->arguments);
        if (!nodeGiven) {
            Configuration configuration;
            // Loading would create the file; without one the defaults hold.
            if (std::filesystem::exists(configuration.configFile()))
                configuration.load();
            context.nodeHost = configuration.nodeHost();
            context.nodePort = configuration.nodePort();
        }
        return command->run(context);
    } catch (const CliUsageError& e) {
        err << Program << ": " << e.what() << "\n";
        printUsage(err, commands);
        return 2;
    } catch (const std::exception& e) {
        out.flush();
        err << Program << ": " << cliErrorText(e) << "\n";
        return 1;
    }
}

} // namespace bryndle
