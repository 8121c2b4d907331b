#include "http/httpheader.h"
#include "http/httpheaderfield.h"
#include "http/httprequestgenerator.h"
#include "http/httpresponseevent.h"
#include "http/singlegetrequest.h"
#include "http/splitlimited.h"
#include "http/statustext.h"
#include "support/commalocale.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace bryndle {
namespace {

using Pieces = std::vector<std::string>;

TEST(HTTPHeaderField, TextAndLength) {
    HTTPHeaderField field("Host", "127.0.0.1:8000");
    EXPECT_EQ(field.toString(), "Host: 127.0.0.1:8000");
    EXPECT_EQ(field.length(), field.toString().size());
    field.setName("X").setValue("");
    EXPECT_EQ(field.toString(), "X: ");
    EXPECT_EQ(field.length(), 3u);
    field.clear();
    EXPECT_EQ(field.name(), "");
    EXPECT_EQ(field.value(), "");
}

TEST(HTTPHeader, NamesAreCaseInsensitiveAndLaterFieldsReplaceEarlierOnes) {
    HTTPHeader header;
    header.add("content-type", "a");
    header.add("Content-Type", "b");
    EXPECT_EQ(header.fieldCount(), 1u);
    const HTTPHeaderField* field = header.field("CONTENT-TYPE");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->name(), "Content-Type");
    EXPECT_EQ(field->value(), "b");
    EXPECT_EQ(header.fieldValue("content-TYPE"), "b");
}

TEST(HTTPHeader, AbsentFieldIsNoneAndItsValueEmpty) {
    HTTPHeader header;
    header.add("A", "1");
    EXPECT_EQ(header.field("B"), nullptr);
    EXPECT_EQ(header.fieldValue("B"), "");
}

TEST(HTTPHeader, StartsWithStatusZeroAndNoVersion) {
    HTTPHeader header;
    EXPECT_EQ(header.status(), 0);
    EXPECT_TRUE(std::isnan(header.version()));
    EXPECT_EQ(header.toString(), "\r\n");
    EXPECT_EQ(header.length(), 2u);
}

TEST(HTTPHeader, TextIsEveryFieldWithCRLFThenAnEmptyLine) {
    HTTPHeader header;
    header.add("b", "2");
    header.add("A", "1");
    std::string text = header.toString();
    EXPECT_EQ(text, "A: 1\r\nb: 2\r\n\r\n");
    EXPECT_EQ(header.length(), text.size());
    EXPECT_EQ(header.fields().size(), 2u);
}

TEST(HTTPHeader, SetFieldsReplacesAllAndClearKeepsStatusAndVersion) {
    HTTPHeader header;
    header.add("Old", "x");
    header.setStatus(404);
    header.setVersion(1.1f);
    header.setFields(
        {HTTPHeaderField("a", "1"), HTTPHeaderField("A", "2"), HTTPHeaderField("b", "3")});
    EXPECT_EQ(header.field("old"), nullptr);
    EXPECT_EQ(header.fieldValue("a"), "2");
    EXPECT_EQ(header.fieldCount(), 2u);
    header.clear().add("c", "4");
    EXPECT_EQ(header.fieldCount(), 1u);
    EXPECT_EQ(header.status(), 404);
    EXPECT_FLOAT_EQ(header.version(), 1.1f);
}

TEST(HTTPHeader, NonAsciiNamesAreUpperCasedByUnicode) {
    HTTPHeader header;
    header.add("x-\xc3\xa9t\xc3\xa9", "1"); // x-été
    EXPECT_NE(header.field("X-\xc3\x89T\xc3\x89"), nullptr);
}

TEST(HTTPRequestGenerator, GeneratesRequestLineEmptyLineAndBody) {
    HTTPRequestGenerator request;
    auto header = std::make_shared<HTTPHeader>();
    header->setVersion(1.0f);
    request.setHeader(header);
    request.setMethod("GET").setPath("/x");
    EXPECT_EQ(request.generate(), "GET /x HTTP/1.0\r\n\r\n");
    header->add("Host", "h:1");
    request.setBody("body");
    EXPECT_EQ(request.toString(), "GET /x HTTP/1.0\r\nHost: h:1\r\n\r\n");
    EXPECT_EQ(request.generate(), "GET /x HTTP/1.0\r\nHost: h:1\r\n\r\nbody");
    EXPECT_EQ(request.body(), "body");
    EXPECT_EQ(request.content(), "body");
    EXPECT_EQ(request.data(), "body");
}

TEST(HTTPRequestGenerator, RequestLineIsTheSameInEveryLocale) {
    test::TempDir dir;
    test::CommaLocale comma(dir);
    if (!comma.active())
        GTEST_SKIP() << "no locale with a decimal comma can be made here (localedef, de_DE)";
    SingleGetRequest request("/server.cgi/have/thread_41");
    EXPECT_EQ(request.generate(), "GET /server.cgi/have/thread_41 HTTP/1.0\r\n\r\n");
    request.header()->setVersion(1.1f);
    EXPECT_EQ(request.toString(), "GET /server.cgi/have/thread_41 HTTP/1.1\r\n\r\n");
}

TEST(SingleGetRequest, IsGetWithVersionOneNoFieldsAndEmptyBody) {
    SingleGetRequest request("/server.cgi/have/thread_41");
    EXPECT_EQ(request.method(), "GET");
    EXPECT_EQ(request.path(), "/server.cgi/have/thread_41");
    ASSERT_NE(request.header(), nullptr);
    EXPECT_FLOAT_EQ(request.header()->version(), 1.0f);
    EXPECT_EQ(request.header()->fieldCount(), 0u);
    EXPECT_EQ(request.generate(), "GET /server.cgi/have/thread_41 HTTP/1.0\r\n\r\n");
}

TEST(HTTPResponseEvent, ClearResetsStoppedDataAndHeader) {
    HTTPResponseEvent event;
    auto header = std::make_shared<HTTPHeader>();
    event.setHeader(header);
    event.setStopped(true).setData("line");
    std::string copy = event.dataCopy();
    EXPECT_EQ(event.text(), "line");
    EXPECT_EQ(event.textCopy(), "line");
    EXPECT_TRUE(event.stopped());
    event.clear();
    EXPECT_FALSE(event.stopped());
    EXPECT_EQ(event.data(), "");
    EXPECT_EQ(event.header(), nullptr);
    EXPECT_EQ(copy, "line");
}

TEST(StatusText, Table) {
    EXPECT_EQ(statusText(0), "!Undefined!");
    EXPECT_EQ(statusText(200), "OK");
    EXPECT_EQ(statusText(203), "Non-Authoritative Information");
    EXPECT_EQ(statusText(307), "Temporary Redirect");
    EXPECT_EQ(statusText(404), "Not Found");
    EXPECT_EQ(statusText(414), "Request-URI Too Large");
    EXPECT_EQ(statusText(416), "Request Range Not Satisfiable");
    EXPECT_EQ(statusText(424), "Failed Dependency");
    EXPECT_EQ(statusText(507), "Insufficient Storage");
}

TEST(StatusText, CodesOutsideTheTableAreEmpty) {
    for (int code : {-1, 1, 103, 199, 208, 299, 306, 308, 418, 419, 420, 421, 425, 506, 508, 999})
        EXPECT_EQ(statusText(code), "") << code;
    int listed = 0;
    for (int code = 0; code < 1000; ++code)
        listed += !statusText(code).empty();
    EXPECT_EQ(listed, 47);
}

TEST(SplitLimited, SplitsAtEverySeparatorUpToTheLimit) {
    EXPECT_EQ(splitLimited("HTTP/1.1 404 Not Found", " ", 3),
              (Pieces{"HTTP/1.1", "404", "Not Found"}));
    EXPECT_EQ(splitLimited("a:b:c", ":", 2), (Pieces{"a", "b:c"}));
    EXPECT_EQ(splitLimited("a:b:c", ":", 1), (Pieces{"a:b:c"}));
    EXPECT_EQ(splitLimited("a:b:c", ":", 5), (Pieces{"a", "b", "c"}));
}

TEST(SplitLimited, KeepsEmptyPiecesAndGivesNoneForEmptyText) {
    EXPECT_EQ(splitLimited("", " ", 3), Pieces{});
    EXPECT_EQ(splitLimited("a  b", " ", 3), (Pieces{"a", "", "b"}));
    EXPECT_EQ(splitLimited(":", ":", 2), (Pieces{"", ""}));
    EXPECT_EQ(splitLimited("a<><>b<>", "<>", 10), (Pieces{"a", "", "b", ""}));
    EXPECT_EQ(splitLimited("a  b  c", "  ", 2), (Pieces{"a", "b  c"}));
}

TEST(SplitLimited, LimitBelowOneIsAProgrammingError) {
    EXPECT_THROW(splitLimited("a", " ", 0), std::invalid_argument);
    EXPECT_THROW(splitLimited("a", "", 2), std::invalid_argument);
}

} // namespace
} // namespace bryndle
