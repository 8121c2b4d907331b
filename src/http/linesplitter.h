#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace bryndle {

// Splits a response body that arrives in chunks into lines. CR or LF ends a line, and an LF
// right after a line end is skipped, so CR LF and LF LF end one line while CR CR and LF CR end
// two. The skip also holds across a chunk boundary, so the lines never depend on how the
// body was cut into chunks. A line longer than the bound raises HTTPProtocolException.
class LineSplitter {
public:
    static constexpr size_t DefaultMaxLineLength = 16 * 1024 * 1024;

    // Receives one line; returns false to stop the splitting at once.
    using LineHandler = std::function<bool(std::string_view line)>;

    explicit LineSplitter(size_t maxLineLength = DefaultMaxLineLength)
        : maxLineLength_(maxLineLength) {}

    // Hands every line that ends in the chunk to the handler; the bytes after the last line
    // end are kept as the pending line. Returns false when the handler asked to stop.
    bool feed(std::string_view chunk, const LineHandler& handler);
    // At the end of the body: hands a non-empty pending line to the handler and empties it.
    // Returns false when the handler asked to stop.
    bool finish(const LineHandler& handler);

    const std::string& pending() const { return pending_; }
    size_t maxLineLength() const { return maxLineLength_; }

private:
    void checkLength(size_t length) const;

    size_t maxLineLength_;
    std::string pending_;
    bool skipLF_ = false;
};

} // namespace bryndle
