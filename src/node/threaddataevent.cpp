#include "node/threaddataevent.h"

#include "foundation/decimal.h"

#include <vector>

namespace bryndle {

namespace {

constexpr std::string_view Separator = "<>";

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    if (line.empty())
        return fields;
    size_t start = 0;
    for (;;) {
        size_t at = line.find(Separator, start);
        if (at == std::string_view::npos)
            break;
        fields.push_back(line.substr(start, at - start));
        start = at + Separator.size();
    }
    fields.push_back(line.substr(start));
    return fields;
}

} // namespace

void ThreadDataEvent::parse(std::string_view line) {
    clear();
    std::vector<std::string_view> fields = splitFields(line);
    if (fields.size() < 2)
        throw ThreadDataException("thread data error 1");
    stamp_ = parseDecimalUInt32(fields[0]);
    if (fields[1].size() != IdLength)
        throw ThreadDataException("thread data error2");
    id_.assign(fields[1]);
    for (size_t i = 2; i < fields.size(); ++i) {
        size_t colon = fields[i].find(':');
        if (colon == std::string_view::npos)
            throw ThreadDataException("thread data error3");
        attributes_.insert_or_assign(std::string(fields[i].substr(0, colon)),
                                     std::string(fields[i].substr(colon + 1)));
    }
}

void ThreadDataEvent::clear() {
    stamp_ = 0;
    id_.clear();
    attributes_.clear();
}

std::string ThreadDataEvent::attribute(const std::string& key) const {
    auto it = attributes_.find(key);
    return it == attributes_.end() ? std::string() : it->second;
}

} // namespace bryndle
