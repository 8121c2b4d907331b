#pragma once

#include "node/nodeaddress.h"
#include "node/shingetsuio.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bryndle {

// What a command of the command-line tool gets: its arguments, the output streams and the
// node to talk to.
struct CliContext {
    std::ostream& out;
    std::ostream& err;
    std::string nodeHost;
    uint16_t nodePort = 0;
    int32_t timeout = 0;
    // Seconds for each whole request (0 = none); unset, each request's own default.
    std::optional<int32_t> deadline;
    std::vector<std::string> arguments;

    // The node, resolved; raises HostResolutionException.
    NodeAddress nodeAddress() const { return NodeAddress(nodeHost, nodePort); }
    // Gives a node I/O object the deadline of the command line.
    void bound(ShinGETsuIO& io) const {
        if (deadline)
            io.setDeadline(*deadline);
    }
};

// One command: its name, its arguments as shown in the usage text, and how many it takes.
// run returns the exit status; failures are raised and reported by runCli.
struct CliCommand {
    std::string name;
    std::string arguments;
    std::string description;
    size_t minArguments = 0;
    size_t maxArguments = 0;
    std::function<int(CliContext&)> run;
};

// A command line that is not what the command takes: reported with the usage text, exit 2.
class CliUsageError : public std::exception {
public:
    explicit CliUsageError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

class CliCommandTable {
public:
    void add(CliCommand command) { commands_.push_back(std::move(command)); }
    const CliCommand* find(std::string_view name) const;
    const std::vector<CliCommand>& commands() const { return commands_; }

private:
    std::vector<CliCommand> commands_;
};

// list, have, head, get, record, register.
void addNodeCommands(CliCommandTable& table);
// fetch, page, render: thread pages through the cache (config.db and cache.db of the current
// folder, the node of the command line).
void addPageCommands(CliCommandTable& table);

// Every command of the tool; each folder adds its own commands here.
CliCommandTable cliCommands();

// A decimal time stamp argument; anything else is a usage error naming what.
uint32_t cliStamp(const std::string& text, const char* what);

// An error's message, followed by the system's error text when it carries an error number.
std::string cliErrorText(const std::exception& error);

// bryndle-cli [--node HOST:PORT] [--timeout SECONDS] COMMAND ARGUMENTS...
// --timeout bounds every wait and each whole request. The node defaults to the configured host and
// port ("config.db" in the current directory, when there is one). Returns the exit status: 0 done,
// 1 failed, 2 bad command line.
int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           const CliCommandTable& commands = cliCommands());

} // namespace bryndle
