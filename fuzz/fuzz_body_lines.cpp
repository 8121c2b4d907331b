// The body line splitter: the lines never depend on where the body is cut into chunks, and no
// delivered line exceeds the bound. The first two bytes choose the cuts.
#include "http/httpconnectionexception.h"
#include "http/linesplitter.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t Bound = 64;

struct Outcome {
    std::vector<std::string> lines;
    bool tooLong = false;
};

Outcome split(std::string_view body, size_t step) {
    bryndle::LineSplitter splitter(Bound);
    Outcome outcome;
    auto collect = [&](std::string_view line) {
        if (line.size() > Bound)
            std::abort();
        outcome.lines.emplace_back(line);
        return true;
    };
    try {
        for (size_t at = 0; at < body.size(); at += step)
            splitter.feed(body.substr(at, step), collect);
        splitter.finish(collect);
    } catch (const bryndle::HTTPProtocolException&) {
        outcome.tooLong = true;
    }
    if (splitter.pending().size() > Bound)
        std::abort();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    size_t step = data[0] % 16 + 1;
    size_t other = data[1] % 7 + 1;
    std::string_view body(reinterpret_cast<const char*>(data) + 2, size - 2);
    Outcome whole = split(body, body.size() + 1);
    Outcome cut = split(body, step);
    Outcome cutOther = split(body, other);
    // Chunks may stop a too-long line sooner, but the lines before it are the same.
    if (whole.tooLong != cut.tooLong || whole.tooLong != cutOther.tooLong)
        std::abort();
    if (!whole.tooLong && (whole.lines != cut.lines || whole.lines != cutOther.lines))
        std::abort();
    return 0;
}
