#include "node/encodetitle.h"
#include "node/hashgetrequest.h"
#include "node/haverequest.h"
#include "node/headrequest.h"
#include "node/rangegetrequest.h"
#include "node/registerthreadrequest.h"
#include "node/threadfile.h"
#include "node/threadlistrequest.h"

#include <gtest/gtest.h>

namespace bryndle {
namespace {

TEST(ThreadFileName, UpperCaseHexOfTheUtf8Bytes) {
    EXPECT_EQ(threadFileName("A"), "thread_41");
    EXPECT_EQ(threadFileName("abc"), "thread_616263");
    EXPECT_EQ(threadFileName(""), "thread_");
    EXPECT_EQ(threadFileName("\xe6\x96\xb0"), "thread_E696B0"); // 新
    EXPECT_EQ(threadFileName(std::string("\0\xff", 2)), "thread_00FF");
}

TEST(EncodeTitle, KeepsTheUriCharactersButQuestionMarkAndNumberSign) {
    EXPECT_EQ(encodeTitle("a b?c"), "a%20b%3Fc");
    EXPECT_EQ(encodeTitle("x#y"), "x%23y");
    EXPECT_EQ(encodeTitle("AZaz09;/:@&=+$,-_.!~*'()"), "AZaz09;/:@&=+$,-_.!~*'()");
    EXPECT_EQ(encodeTitle("\xe6\x96\xb0\xe7\x9d\x80"), "%E6%96%B0%E7%9D%80"); // 新着
    EXPECT_EQ(encodeTitle("%\"<>[]\\^`{|}\r\n"), "%25%22%3C%3E%5B%5D%5C%5E%60%7B%7C%7D%0D%0A");
    EXPECT_EQ(encodeTitle(""), "");
}

TEST(NodeRequests, Paths) {
    EXPECT_EQ(RangeGetRequest("A", 0).path(), "/server.cgi/get/thread_41/0-");
    EXPECT_EQ(RangeGetRequest("A", 4294967295u).path(), "/server.cgi/get/thread_41/4294967295-");
    EXPECT_EQ(HeadRequest("abc", 1200).path(), "/server.cgi/head/thread_616263/1200-");
    EXPECT_EQ(HashGetRequest("A", 42, "0123456789abcdef0123456789abcdef").path(),
              "/server.cgi/get/thread_41/42/0123456789abcdef0123456789abcdef");
    EXPECT_EQ(HaveRequest("A").path(), "/server.cgi/have/thread_41");
    EXPECT_EQ(ThreadListRequest("changes").path(),
              "/gateway.cgi/csv/changes/file,stamp,path,uri,type,title,records,size");
    EXPECT_EQ(RegisterThreadRequest("a b?c").path(), "/thread.cgi/a%20b%3Fc");
}

TEST(NodeRequests, AnIdCannotBreakTheRequestLine) {
    HashGetRequest request("A", 1, "x HTTP/1.0\r\nEvil: 1\r\n\r\nabcdef");
    std::string bytes = request.generate();
    EXPECT_EQ(bytes.find("\r\n"), bytes.find("\r\n\r\n"));
    EXPECT_EQ(bytes.find(' ', 4), bytes.rfind(" HTTP/1.0"));
}

TEST(NodeRequests, AreGetVersionOneWithoutFields) {
    HaveRequest request("A");
    EXPECT_EQ(request.method(), "GET");
    EXPECT_EQ(request.generate(), "GET /server.cgi/have/thread_41 HTTP/1.0\r\n\r\n");
    ThreadListRequest list("recent");
    EXPECT_EQ(list.generate(),
              "GET /gateway.cgi/csv/recent/file,stamp,path,uri,type,title,records,size "
              "HTTP/1.0\r\n\r\n");
}

} // namespace
} // namespace bryndle
