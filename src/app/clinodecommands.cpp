#include "app/cli.h"

#include "node/gatewayio.h"
#include "node/serverio.h"
#include "node/threadio.h"

#include <ostream>

namespace bryndle {

namespace {

// A node's text for the terminal: control characters (escape sequences, tabs that would shift
// the columns) are written as \xNN instead of being sent to the terminal.
std::string printable(const std::string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 0x0f];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// stamp, id, then every field as key:value, separated by tabs.
RecordCallback printRecords(std::ostream& out) {
    return [&out](ThreadDataEvent& event) {
        out << event.stamp() << '\t' << printable(event.id());
        for (const auto& [key, value] : event.attributes())
            out << '\t' << printable(key) << ':' << printable(value);
        out << '\n';
    };
}

int list(CliContext& context) {
    const std::string& kind = context.arguments[0];
    if (kind != "changes" && kind != "recent")
        throw CliUsageError("list takes changes or recent, not \"" + kind + "\"");
    GatewayIO io(context.nodeAddress(), context.timeout);
    context.bound(io);
    // The eight columns in the node's order, separated by tabs.
    auto print = [&context](ThreadResponseEvent& e) {
        context.out << printable(e.file()) << '\t' << e.stamp() << '\t' << printable(e.path())
                    << '\t' << printable(e.uri()) << '\t' << printable(e.type()) << '\t'
                    << printable(e.title()) << '\t' << e.records() << '\t' << e.size() << '\n';
    };
    if (kind == "changes")
        io.changes({}, print);
    else
        io.recent({}, print);
    return 0;
}

int have(CliContext& context) {
    ServerIO io(context.nodeAddress(), context.timeout);
    context.bound(io);
    context.out << (io.have(context.arguments[0]) ? "YES" : "NO") << '\n';
    return 0;
}

uint32_t fromArgument(const CliContext& context) {
    return context.arguments.size() > 1 ? cliStamp(context.arguments[1], "FROM") : 0;
}

int head(CliContext& context) {
    uint32_t from = fromArgument(context);
    ServerIO io(context.nodeAddress(), context.timeout);
    context.bound(io);
    io.head({}, printRecords(context.out), context.arguments[0], from);
    return 0;
}

int get(CliContext& context) {
    uint32_t from = fromArgument(context);
    ServerIO io(context.nodeAddress(), context.timeout);
    context.bound(io);
    io.getRange({}, printRecords(context.out), context.arguments[0], from);
    return 0;
}

int record(CliContext& context) {
    uint32_t stamp = cliStamp(context.arguments[1], "STAMP");
    ServerIO io(context.nodeAddress(), context.timeout);
    context.bound(io);
    io.getRecord({}, printRecords(context.out), context.arguments[0], stamp, context.arguments[2]);
    return 0;
}

int registerThread(CliContext& context) {
    ThreadIO io(context.nodeAddress(), context.timeout);
    context.bound(io);
    io.registerThread(context.arguments[0]);
    context.out << "registered\t" << context.arguments[0] << '\n';
    return 0;
}

} // namespace

void addNodeCommands(CliCommandTable& table) {
    table.add({"list", "changes|recent", "the node's thread list, one thread a line", 1, 1, list});
    table.add({"have", "TITLE", "YES or NO: whether the node holds the thread", 1, 1, have});
    table.add({"head", "TITLE [FROM]", "stamp and id of each record from FROM on", 1, 2, head});
    table.add({"get", "TITLE [FROM]", "the records from FROM on, one a line", 1, 2, get});
    table.add({"record", "TITLE STAMP ID", "one record by stamp and id", 3, 3, record});
    table.add({"register", "TITLE", "asks the node to take up the thread", 1, 1, registerThread});
}

} // namespace bryndle
