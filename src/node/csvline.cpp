#include "node/csvline.h"

namespace bryndle {

std::optional<std::vector<std::string>> splitCsvLine(std::string_view line) {
    std::vector<std::string> fields;
    size_t i = 0;
    for (;;) {
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            for (;;) {
                size_t quote = line.find('"', i);
                if (quote == std::string_view::npos)
                    return std::nullopt;
                field.append(line.substr(i, quote - i));
                i = quote + 1;
                if (i < line.size() && line[i] == '"') {
                    field.push_back('"');
                    ++i;
                    continue;
                }
                break;
            }
            if (i < line.size() && line[i] != ',')
                return std::nullopt;
        } else {
            size_t comma = line.find(',', i);
            size_t end = comma == std::string_view::npos ? line.size() : comma;
            field.assign(line.substr(i, end - i));
            i = end;
        }
        fields.push_back(std::move(field));
        if (i >= line.size())
            return fields;
        ++i; // the comma
    }
}

} // namespace bryndle
