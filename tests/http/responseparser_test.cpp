#include "foundation/conv.h"
#include "http/httpconnectionexception.h"
#include "http/responseparser.h"

#include <gtest/gtest.h>

namespace bryndle {
namespace {

HTTPHeader statusOf(std::string_view line) {
    HTTPHeader header;
    parseStatusLine(line, header);
    return header;
}

void expectProtocolError(std::string_view line, const char* message) {
    try {
        statusOf(line);
        ADD_FAILURE() << "no error for \"" << line << "\"";
    } catch (const HTTPProtocolException& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

TEST(ParseStatusLine, ReadsVersionAndStatus) {
    HTTPHeader header = statusOf("HTTP/1.1 404 Not Found");
    EXPECT_EQ(header.status(), 404);
    EXPECT_FLOAT_EQ(header.version(), 1.1f);
    header = statusOf("HTTP/1.0 200 OK");
    EXPECT_EQ(header.status(), 200);
    EXPECT_FLOAT_EQ(header.version(), 1.0f);
    // The reason phrase is not looked at, and may be empty.
    EXPECT_EQ(statusOf("HTTP/1.0 500 ").status(), 500);
    EXPECT_EQ(statusOf("HTTP/1.0 200 anything at all").status(), 200);
}

TEST(ParseStatusLine, NeedsThreePartsWithAnEightByteFirstPart) {
    expectProtocolError("", "http protocol error1");
    expectProtocolError("HTTP/1.0 200", "http protocol error1");
    expectProtocolError("HTTP/1.0", "http protocol error1");
    expectProtocolError("HTTP/1.10 200 OK", "http protocol error1");
    expectProtocolError("HTTP/1 200 OK", "http protocol error1");
    expectProtocolError("<html><body>", "http protocol error1");
}

TEST(ParseStatusLine, CodeWithoutStatusTextBecomesZero) {
    EXPECT_EQ(statusOf("HTTP/1.0 299 Odd").status(), 0);
    EXPECT_EQ(statusOf("HTTP/1.0 306 Unused").status(), 0);
}

TEST(ParseStatusLine, VersionOrStatusThatIsNotANumberIsAConversionError) {
    EXPECT_THROW(statusOf("HTTP/x.y 200 OK"), ConvError);
    EXPECT_THROW(statusOf("HTTP/inf 200 OK"), ConvError);
    EXPECT_THROW(statusOf("HTTP/1.. 200 OK"), ConvError);
    EXPECT_THROW(statusOf("HTTP/1.0 2x0 OK"), ConvError);
    EXPECT_THROW(statusOf("HTTP/1.0 -200 OK"), ConvError);
    EXPECT_THROW(statusOf("HTTP/1.0  OK"), ConvError);
    EXPECT_THROW(statusOf("HTTP/1.0 99999999999 OK"), ConvOverflowError);
}

TEST(ParseStatus, DigitsOnly) {
    EXPECT_EQ(parseStatus("200"), 200);
    EXPECT_EQ(parseStatus("0200"), 200);
    EXPECT_EQ(parseStatus("0"), 0);
    EXPECT_EQ(parseStatus("2147483647"), 0);
    EXPECT_THROW(parseStatus("2147483648"), ConvOverflowError);
    EXPECT_THROW(parseStatus(""), ConvError);
    EXPECT_THROW(parseStatus("+200"), ConvError);
    EXPECT_THROW(parseStatus("0x10"), ConvError);
}

TEST(ParseHeaderLine, SplitsAtTheFirstColonAndStripsWhiteSpace) {
    HTTPHeader header;
    parseHeaderLine("X-A:b:c", header);
    ASSERT_NE(header.field("x-a"), nullptr);
    EXPECT_EQ(header.field("x-a")->name(), "X-A");
    EXPECT_EQ(header.fieldValue("X-A"), "b:c");
    parseHeaderLine(" \t Name \v:\f value with  spaces \r", header);
    ASSERT_NE(header.field("NAME"), nullptr);
    EXPECT_EQ(header.field("NAME")->name(), "Name");
    EXPECT_EQ(header.fieldValue("name"), "value with  spaces");
    parseHeaderLine("Location: http://host:8000/thread.cgi/a#r1", header);
    EXPECT_EQ(header.fieldValue("location"), "http://host:8000/thread.cgi/a#r1");
    parseHeaderLine("Empty:", header);
    EXPECT_EQ(header.fieldValue("empty"), "");
    EXPECT_NE(header.field("empty"), nullptr);
}

TEST(ParseHeaderLine, RepeatedNameReplacesTheEarlierField) {
    HTTPHeader header;
    parseHeaderLine("Set-Cookie: a=1", header);
    parseHeaderLine("set-cookie: b=2", header);
    EXPECT_EQ(header.fieldCount(), 1u);
    EXPECT_EQ(header.fieldValue("SET-COOKIE"), "b=2");
}

TEST(ParseHeaderLine, LineWithoutColonIsProtocolError2) {
    HTTPHeader header;
    try {
        parseHeaderLine("no colon here", header);
        ADD_FAILURE() << "no error";
    } catch (const HTTPProtocolException& e) {
        EXPECT_STREQ(e.what(), "http protocol error 2");
    }
    EXPECT_THROW(parseHeaderLine("", header), HTTPProtocolException);
}

} // namespace
} // namespace bryndle
