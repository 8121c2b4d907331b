#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bryndle {

// The text of an INI file: "[section]" lines, "key=value" lines, ";" comments. Section and key
// names compare ignoring letter case; names and values are trimmed of blanks. The first section
// of a name counts, and in it the first key. Changing a value keeps every other line (comments,
// blank lines, unknown lines, other sections, line ends) byte for byte.
class IniDocument {
public:
    explicit IniDocument(std::string text = {}) : text_(std::move(text)) {}

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Raises IniFileException (EINVAL) for a name or value that would not read back the same.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    const std::string& text() const { return text_; }

    // Why the name or value cannot be written; empty when it can.
    static std::string refusal(std::string_view section, std::string_view key,
                               std::string_view value);

private:
    std::string text_;
};

} // namespace bryndle
