// The bounded reading of a request head, fed as the bytes arrive.

#include "requesthead.h"

#include <gtest/gtest.h>

#include <string>

namespace bryndle {
namespace {

constexpr uint64_t kMaxBody = 1000;

RequestHead headOf(const std::string& bytes) {
    RequestHead head(kMaxBody);
    head.feed(bytes);
    return head;
}

std::string fields(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += "X-" + std::to_string(i) + ": v\r\n";
    }
    return text;
}

TEST(RequestHeadTest, HeadArrivingByteByByteEndsAtItsEmptyLine) {
    const std::string head = "POST /thread.cgi HTTP/1.1\r\nHost: h\r\nExpect: 100-Continue\r\n"
                             "Content-Length: 5\r\n\r\n";
    RequestHead reader(kMaxBody);
    for (char c : head) {
        EXPECT_EQ(reader.state(), RequestHead::State::Reading);
        EXPECT_EQ(reader.feed(std::string(1, c)), 1u);
    }
    EXPECT_EQ(reader.state(), RequestHead::State::Complete);
    // Bytes after the head are the body's: not taken.
    EXPECT_EQ(reader.feed("hello"), 0u);
    EXPECT_EQ(reader.contentLength(), 5u);
    EXPECT_TRUE(reader.expectsContinue());
    EXPECT_EQ(reader.text(), "POST /thread.cgi HTTP/1.1\r\nHost: h\r\nContent-Length: 5\r\n\r\n");
    EXPECT_EQ(reader.method(), "POST");
    EXPECT_EQ(reader.target(), "/thread.cgi");

    RequestHead whole(kMaxBody);
    EXPECT_EQ(whole.feed("GET / HTTP/1.0\r\n\r\nrest"), 18u);
    EXPECT_EQ(whole.state(), RequestHead::State::Complete);
    EXPECT_EQ(whole.contentLength(), 0u);
    EXPECT_FALSE(whole.expectsContinue());
}

TEST(RequestHeadTest, FieldCountAndSizesAreBounded) {
    const std::string line = "GET / HTTP/1.1\r\n";
    EXPECT_EQ(headOf(line + fields(RequestHead::kMaxFields) + "\r\n").state(),
              RequestHead::State::Complete);
    RequestHead many = headOf(line + fields(RequestHead::kMaxFields + 1));
    EXPECT_EQ(many.state(), RequestHead::State::Refused);
    EXPECT_EQ(many.refusal(), 431);

    // Judged as the bytes come, before any end of line.
    EXPECT_EQ(headOf(line + "X: " + std::string(RequestHead::kMaxLineBytes, 'a')).refusal(), 431);
    EXPECT_EQ(headOf("GET /" + std::string(RequestHead::kMaxLineBytes, 'a')).refusal(), 414);
    std::string big = line;
    while (big.size() <= RequestHead::kMaxBytes) {
        big += "X: " + std::string(RequestHead::kMaxLineBytes / 2, 'a') + "\r\n";
    }
    EXPECT_EQ(headOf(big).refusal(), 431);
}

TEST(RequestHeadTest, BodiesNeedAPlainBoundedLength) {
    const std::string line = "POST / HTTP/1.1\r\n";
    EXPECT_EQ(headOf(line + "content-length: 1000\r\n\r\n").contentLength(), 1000u);
    EXPECT_EQ(headOf(line + "Content-Length: 1001\r\n").refusal(), 413);
    EXPECT_EQ(headOf(line + "Content-Length: 99999999999999999999\r\n").refusal(), 400);
    EXPECT_EQ(headOf(line + "Content-Length: -1\r\n").refusal(), 400);
    EXPECT_EQ(headOf(line + "Content-Length: 1\r\nContent-Length: 2\r\n").refusal(), 400);
    EXPECT_EQ(headOf(line + "Transfer-Encoding: chunked\r\n").refusal(), 411);
    EXPECT_EQ(headOf(line + "no colon\r\n").refusal(), 400);
    EXPECT_EQ(headOf("GET\r\n").refusal(), 400);
}

} // namespace
} // namespace bryndle
