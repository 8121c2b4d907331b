#include "foundation/conv.h"
#include "node/threaddataevent.h"

#include <gtest/gtest.h>

namespace bryndle {
namespace {

const std::string Id = "0123456789abcdef0123456789ABCDEF";

void expectDataError(const std::string& line, const char* message) {
    ThreadDataEvent event;
    try {
        event.parse(line);
        ADD_FAILURE() << "no error for \"" << line << "\"";
    } catch (const ThreadDataException& e) {
        EXPECT_STREQ(e.what(), message) << line;
    }
}

TEST(ThreadDataEvent, ParsesStampIdAndFields) {
    ThreadDataEvent event;
    event.parse("42<>" + Id + "<>body:hello<>name:a:b");
    EXPECT_EQ(event.stamp(), 42u);
    EXPECT_EQ(event.id(), Id);
    EXPECT_EQ(event.attributes(),
              (std::map<std::string, std::string>{{"body", "hello"}, {"name", "a:b"}}));
    EXPECT_EQ(event.attribute("name"), "a:b");
    EXPECT_EQ(event.attribute("mail"), "");
}

TEST(ThreadDataEvent, HeadLineHasNoFields) {
    ThreadDataEvent event;
    event.parse("1234567890<>" + Id);
    EXPECT_EQ(event.stamp(), 1234567890u);
    EXPECT_EQ(event.id(), Id);
    EXPECT_TRUE(event.attributes().empty());
}

TEST(ThreadDataEvent, FieldsKeepWhatTheyHold) {
    ThreadDataEvent event;
    event.parse("4294967295<>" + Id +
                "<>body:a&lt;b&gt;<br>c<>empty:<>:novalue<>attach:QUJD<>name:x<>name:y");
    EXPECT_EQ(event.stamp(), 4294967295u);
    EXPECT_EQ(event.attribute("body"), "a&lt;b&gt;<br>c");
    EXPECT_EQ(event.attribute("empty"), "");
    EXPECT_EQ(event.attribute(""), "novalue");
    EXPECT_EQ(event.attribute("name"), "y"); // a repeated key replaces the earlier value
    EXPECT_EQ(event.attributes().size(), 5u);
}

TEST(ThreadDataEvent, MalformedLines) {
    expectDataError("", "thread data error 1");
    expectDataError("42", "thread data error 1");
    expectDataError("42 " + Id, "thread data error 1");
    expectDataError("42<>abcde", "thread data error2");
    expectDataError("42<>" + Id + "0", "thread data error2");
    expectDataError("42<>", "thread data error2");
    expectDataError("42<>" + Id + "<>nocolon", "thread data error3");
    expectDataError("42<>" + Id + "<>body:x<>", "thread data error3");
}

TEST(ThreadDataEvent, StampThatIsNotANumberIsAConversionError) {
    ThreadDataEvent event;
    // Checked before the id, so a wrong id does not hide it.
    EXPECT_THROW(event.parse("x<>abcde"), ConvError);
    EXPECT_THROW(event.parse("<>" + Id), ConvError);
    EXPECT_THROW(event.parse("-1<>" + Id), ConvError);
    EXPECT_THROW(event.parse(" 1<>" + Id), ConvError);
    EXPECT_THROW(event.parse("4294967296<>" + Id), ConvOverflowError);
}

TEST(ThreadDataEvent, ClearKeepsTheTagAndParseStartsFresh) {
    ThreadDataEvent event;
    event.setTag(std::string("schema"));
    event.parse("1<>" + Id + "<>body:x");
    event.parse("2<>" + Id);
    EXPECT_TRUE(event.attributes().empty());
    event.clear();
    EXPECT_EQ(event.stamp(), 0u);
    EXPECT_EQ(event.id(), "");
    EXPECT_EQ(std::any_cast<std::string>(event.tag()), "schema");
}

} // namespace
} // namespace bryndle
