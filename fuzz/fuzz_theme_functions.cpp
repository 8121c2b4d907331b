// The renderer's theme functions on hostile text: reference splitting must account for every
// byte, hover-box texts and dates must hold, and a page of such records must render with the
// default theme (the functions running inside the transform) without fault.
#include "config/configuration.h"
#include "store/pagerenderer.h"
#include "store/schema.h"
#include "store/themefunctions.h"
#include "store/threadmessage.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

void checkSplit(const std::string& line) {
    std::string joined;
    bool lastWasText = false;
    for (const auto& piece : bryndle::ThemeFunctions::splitReferences(line)) {
        if (piece.reference && piece.text.size() != 8)
            std::abort();
        if (!piece.reference && (lastWasText || piece.text.empty()))
            std::abort();
        lastWasText = !piece.reference;
        joined += piece.reference ? ">>" : "";
        joined += piece.text;
    }
    if (joined != line)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    bryndle::Configuration::setInstance(std::make_unique<bryndle::Configuration>("unused.db"));
    setenv("TZ", "Europe/Berlin", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const double stamp = in.ConsumeFloatingPoint<double>();
    if (bryndle::ThemeFunctions::localTime(stamp).empty())
        std::abort();
    std::vector<std::string> texts;
    for (size_t n = in.ConsumeIntegralInRange<size_t>(0, 6); n > 0; --n)
        texts.push_back(in.ConsumeRandomLengthString(512));
    std::vector<std::string_view> lines(texts.begin(), texts.end());
    bryndle::ThemeFunctions::boxText(lines, in.ConsumeIntegralInRange<size_t>(0, 8),
                                     in.ConsumeIntegralInRange<size_t>(0, 200));
    for (const std::string& text : texts)
        checkSplit(text);

    std::vector<bryndle::ThreadMessage> records(in.ConsumeIntegralInRange<size_t>(1, 3));
    for (auto& r : records) {
        r.md5 = in.ConsumeBytesAsString(8) + std::string(24, '0');
        r.mtime = in.ConsumeIntegral<int32_t>();
        r.message = in.ConsumeRandomLengthString(1024);
    }
    bryndle::Schema schema("fuzz");
    schema.method = "get";
    const std::string document = bryndle::ThreadMessage::toDocument(
        schema, std::string(BRYNDLE_SOURCE_PATH) + "/data/template/theme/terminal", records, 0,
        records[0].md5.substr(0, 8));
    try {
        if (bryndle::PageRenderer::render(document).empty())
            std::abort();
    } catch (const bryndle::RenderException&) {
        // A body the page document cannot hold as XML; the document's own target covers that.
    }
    return 0;
}
