#include "foundation/conv.h"
#include "node/csvline.h"
#include "node/threadresponseevent.h"

#include <gtest/gtest.h>

namespace bryndle {
namespace {

using Fields = std::vector<std::string>;

TEST(SplitCsvLine, UnquotedFieldsSplitAtEveryComma) {
    EXPECT_EQ(splitCsvLine("a,b,,c"), (Fields{"a", "b", "", "c"}));
    EXPECT_EQ(splitCsvLine(""), (Fields{""}));
    EXPECT_EQ(splitCsvLine(","), (Fields{"", ""}));
    EXPECT_EQ(splitCsvLine("a\"b,c\""), (Fields{"a\"b", "c\""}));
}

TEST(SplitCsvLine, QuotedFieldsHoldCommasAndDoubledQuotes) {
    EXPECT_EQ(splitCsvLine("\"a,b\",c"), (Fields{"a,b", "c"}));
    EXPECT_EQ(splitCsvLine("x,\"quote \"\"in\"\" title\",y"),
              (Fields{"x", "quote \"in\" title", "y"}));
    EXPECT_EQ(splitCsvLine("\"\",\"\"\"\""), (Fields{"", "\""}));
    EXPECT_EQ(splitCsvLine("a,\"\""), (Fields{"a", ""}));
}

TEST(SplitCsvLine, BrokenQuotingGivesNothing) {
    EXPECT_FALSE(splitCsvLine("\"open,b"));
    EXPECT_FALSE(splitCsvLine("\"a\"b,c"));
    EXPECT_FALSE(splitCsvLine("a,\"b\"\""));
}

TEST(ThreadResponseEvent, ParsesTheEightColumns) {
    ThreadResponseEvent event;
    event.parse("thread_41,42,p,u,thread,A,3,1024", std::string("tag"));
    EXPECT_EQ(event.file(), "thread_41");
    EXPECT_EQ(event.stamp(), 42u);
    EXPECT_EQ(event.path(), "p");
    EXPECT_EQ(event.uri(), "u");
    EXPECT_EQ(event.type(), "thread");
    EXPECT_EQ(event.title(), "A");
    EXPECT_EQ(event.records(), 3u);
    EXPECT_EQ(event.size(), 1024u);
    EXPECT_EQ(std::any_cast<std::string>(event.tag()), "tag");
    EXPECT_FALSE(event.stop());
}

TEST(ThreadResponseEvent, QuotedTitles) {
    ThreadResponseEvent event;
    event.parse("thread_6162,1,/thread.cgi/x,http://h/x,thread,\"comma, in title\",0,0", {});
    EXPECT_EQ(event.title(), "comma, in title");
    event.parse("f,1,p,u,thread,\"quote \"\"in\"\" title\",2,3", {});
    EXPECT_EQ(event.title(), "quote \"in\" title");
    EXPECT_EQ(event.records(), 2u);
}

TEST(ThreadResponseEvent, SizeLosesOneTrailingLineEnd) {
    ThreadResponseEvent event;
    event.parse("f,1,p,u,t,A,2,30\r\n", {});
    EXPECT_EQ(event.size(), 30u);
    event.parse("f,1,p,u,t,A,2,31\r", {});
    EXPECT_EQ(event.size(), 31u);
    EXPECT_THROW(event.parse("f,1,p,u,t,A,2,32\n\n", {}), ConvError);
}

TEST(ThreadResponseEvent, MalformedLines) {
    ThreadResponseEvent event;
    EXPECT_THROW(event.parse("thread_41,42,p,u,thread,a,b,3,1024", {}), GatewayException);
    EXPECT_THROW(event.parse("", {}), GatewayException);
    EXPECT_THROW(event.parse("f,1,p,u,t,\"open,2,3", {}), GatewayException);
    EXPECT_THROW(event.parse("f,1,p,u,t,A,,3", {}), ConvError);
    EXPECT_THROW(event.parse("f,x,p,u,t,A,1,3", {}), ConvError);
    EXPECT_THROW(event.parse("f,1,p,u,t,A,1,4294967296", {}), ConvOverflowError);
    EXPECT_THROW(event.parse("f,1,p,u,t,\xff\xfe,1,3", {}), GatewayException);
}

TEST(ThreadResponseEvent, ClearEmptiesEverything) {
    ThreadResponseEvent event;
    event.parse("thread_41,42,p,u,thread,A,3,1024", 7);
    event.setStop(true);
    event.clear();
    EXPECT_EQ(event.file(), "");
    EXPECT_EQ(event.stamp(), 0u);
    EXPECT_EQ(event.title(), "");
    EXPECT_EQ(event.records(), 0u);
    EXPECT_EQ(event.size(), 0u);
    EXPECT_FALSE(event.tag().has_value());
    EXPECT_FALSE(event.stop());
}

} // namespace
} // namespace bryndle
