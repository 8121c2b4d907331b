#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bryndle {

// Splits one line of comma-separated values. A field that starts with a double quote runs to
// the next lone double quote, may hold commas, and writes a double quote as two; any other
// field is taken as it is up to the next comma. Empty fields are kept. No value (nullopt) for
// a quoted field that is not closed or that is followed by anything but a comma.
std::optional<std::vector<std::string>> splitCsvLine(std::string_view line);

} // namespace bryndle
