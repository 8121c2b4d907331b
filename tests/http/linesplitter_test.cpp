#include "http/httpconnectionexception.h"
#include "http/linesplitter.h"

#include <gtest/gtest.h>

#include <random>

namespace bryndle {
namespace {

using Lines = std::vector<std::string>;

// Splits a body fed in the given chunks, finishing at the end.
Lines split(const std::vector<std::string>& chunks, size_t bound = 1024) {
    LineSplitter splitter(bound);
    Lines lines;
    auto collect = [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
    };
    for (const auto& chunk : chunks)
        EXPECT_TRUE(splitter.feed(chunk, collect));
    EXPECT_TRUE(splitter.finish(collect));
    return lines;
}

Lines whole(const std::string& body) {
    return split({body});
}

TEST(LineSplitter, LineEndsInOneChunk) {
    EXPECT_EQ(whole("a\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(whole("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(whole("a\n\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(whole("a\r\rb\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(whole("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(whole(""), Lines{});
    EXPECT_EQ(whole("\n"), (Lines{""}));
    EXPECT_EQ(whole("\r\n\r\n"), (Lines{"", ""}));
    EXPECT_EQ(whole("only"), (Lines{"only"}));
}

TEST(LineSplitter, CRLFSplitBetweenChunksEndsOneLine) {
    EXPECT_EQ(split({"a\r", "\nb\r", "\n"}), (Lines{"a", "b"}));
    EXPECT_EQ(split({"YES\r", "\n"}), (Lines{"YES"}));
    EXPECT_EQ(split({"a\n", "\nb"}), (Lines{"a", "b"}));
}

TEST(LineSplitter, LoneCRAtTheEndOfAChunkEndsItsLine) {
    EXPECT_EQ(split({"a\r", "b\n"}), (Lines{"a", "b"}));
    EXPECT_EQ(split({"a\r", "\rb"}), (Lines{"a", "", "b"}));
    EXPECT_EQ(split({"a\r", ""}), (Lines{"a"}));
}

TEST(LineSplitter, PartialLinesJoinAcrossChunks) {
    EXPECT_EQ(split({"ab", "cd", "e\nf", "g"}), (Lines{"abcde", "fg"}));
    EXPECT_EQ(split({"a", "\r", "\n", "b"}), (Lines{"a", "b"}));
}

TEST(LineSplitter, ChunkEndingWithLineEndDoesNotLookBeyondIt) {
    LineSplitter splitter;
    Lines lines;
    auto collect = [&](std::string_view line) {
        lines.emplace_back(line);
        return true;
    };
    std::string buffer = "a\nXXXX";
    // Only the first two bytes are the chunk; the bytes after it are not part of the body.
    EXPECT_TRUE(splitter.feed(std::string_view(buffer).substr(0, 2), collect));
    buffer = "b\r";
    EXPECT_TRUE(splitter.feed(std::string_view(buffer).substr(0, 2), collect));
    EXPECT_TRUE(splitter.finish(collect));
    EXPECT_EQ(lines, (Lines{"a", "b"}));
}

// Whatever the chunk boundaries, the lines are those of the whole body.
TEST(LineSplitter, LinesDoNotDependOnChunkBoundaries) {
    const std::vector<std::string> bodies = {
        "a\r\nb\r\n\r\nc", "x\n\n\ny\r\r\rz\n\r", "\r\n\r\n\n", "1<>2\r\n3<>4\r\n", "only\r",
        "\n\r\n\r",
    };
    for (const std::string& body : bodies) {
        Lines expected = whole(body);
        // Every way to cut the body into two or three chunks.
        for (size_t i = 0; i <= body.size(); ++i) {
            for (size_t j = i; j <= body.size(); ++j) {
                Lines got = split({body.substr(0, i), body.substr(i, j - i), body.substr(j)});
                EXPECT_EQ(got, expected) << "cut at " << i << " and " << j;
            }
        }
        // One byte at a time.
        std::vector<std::string> bytes;
        for (char c : body)
            bytes.emplace_back(1, c);
        EXPECT_EQ(split(bytes), expected);
    }
}

TEST(LineSplitter, StopsWhenTheHandlerSaysSo) {
    LineSplitter splitter;
    Lines lines;
    auto stopAtB = [&](std::string_view line) {
        lines.emplace_back(line);
        return line != "b";
    };
    EXPECT_FALSE(splitter.feed("a\nb\nc\n", stopAtB));
    EXPECT_EQ(lines, (Lines{"a", "b"}));
}

TEST(LineSplitter, LineLongerThanTheBoundIsAnError) {
    EXPECT_EQ(split({std::string(8, 'x') + "\n"}, 8), (Lines{std::string(8, 'x')}));
    EXPECT_EQ(split({"xxxx", "xxxx", "\r\n"}, 8), (Lines{std::string(8, 'x')}));
    EXPECT_THROW(split({std::string(9, 'x') + "\n"}, 8), HTTPProtocolException);
    // A pending line that grows past the bound fails before its end arrives.
    LineSplitter splitter(8);
    auto ignore = [](std::string_view) { return true; };
    EXPECT_TRUE(splitter.feed("xxxxx", ignore));
    try {
        splitter.feed("xxxx", ignore);
        ADD_FAILURE() << "no error";
    } catch (const HTTPProtocolException& e) {
        EXPECT_NE(std::string(e.what()).find("body line too long"), std::string::npos);
    }
    EXPECT_LE(splitter.pending().size(), 8u);
}

} // namespace
} // namespace bryndle
