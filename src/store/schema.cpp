#include "store/schema.h"

#include "config/configuration.h"
#include "foundation/conv.h"
#include "foundation/decimal.h"
#include "foundation/unicode.h"
#include "node/threadfile.h"

#include <algorithm>
#include <vector>

namespace bryndle {

namespace {

// Every separator splits; empty pieces are kept.
std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

uint32_t configuredItems() {
    if (!Configuration::hasInstance())
        return 30;
    return static_cast<uint32_t>(std::max<int32_t>(0, Configuration::instance().recordsPerPage()));
}

} // namespace

Schema Schema::parse(std::string_view location) {
    if (location.substr(0, Prefix.size()) != Prefix)
        throw SchemaException();

    std::string_view rest = location;
    std::string_view query;
    std::string_view fragment;
    auto byQuestion = split(rest, '?');
    if (byQuestion.size() > 1) {
        rest = byQuestion[0];
        query = byQuestion[1];
        auto byHash = split(query, '#');
        if (byHash.size() > 1) {
            query = byHash[0];
            fragment = byHash[1];
        }
    } else {
        auto byHash = split(rest, '#');
        if (byHash.size() > 1) {
            rest = byHash[0];
            fragment = byHash[1];
        }
    }

    auto pieces = split(rest, '/');
    if (pieces.size() < 4)
        throw SchemaException();

    Schema schema(fileToTitle(pieces[2]));
    schema.method = pieces[3];
    if (pieces.size() > 4 && !pieces[4].empty())
        schema.target = pieces[4];
    schema.fragment = fragment;
    schema.page = 0;
    schema.items = configuredItems();
    schema.mode = 0;

    if (!query.empty()) {
        for (std::string_view pair : split(query, '&')) {
            auto nameValue = split(pair, '=');
            if (nameValue.size() != 2)
                continue;
            // An ignored name is not converted: its value, however large, cannot fail the parse.
            const std::string_view name = nameValue[0];
            if (name != "page" && name != "items" && name != "mode")
                continue;
            uint32_t value = 0;
            try {
                value = parseDecimalUInt32(nameValue[1]);
            } catch (const ConvError&) {
                continue; // not a number: the field keeps its value
            }
            if (name == "page")
                schema.page = value;
            else if (name == "items")
                schema.items = value;
            else if (nameValue[0] == "mode")
                schema.mode = (value == 1 || value == 2) ? value : 0;
        }
    }
    return schema;
}

std::string Schema::toLocation() const {
    std::string query;
    if (mode == 1)
        query = "?mode=" + std::to_string(mode) + "&items=" + std::to_string(items);
    else if (mode == 2)
        query = "?mode=" + std::to_string(mode) + "&items=" + std::to_string(items) +
                "&page=" + std::to_string(page);
    std::string location(Prefix);
    location += threadFileName(title);
    location += "/";
    location += method;
    location += "/";
    location += target;
    location += query;
    return location;
}

} // namespace bryndle
