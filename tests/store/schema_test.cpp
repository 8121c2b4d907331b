#include "config/configuration.h"
#include "foundation/conv.h"
#include "store/schema.h"

#include <gtest/gtest.h>

using namespace bryndle;

namespace {

class SchemaTest : public ::testing::Test {
protected:
    void SetUp() override {
        Configuration::setInstance(std::make_unique<Configuration>("unused-config.db"));
    }
    void TearDown() override { Configuration::setInstance(nullptr); }
};

Schema make(const std::string& title, const std::string& method, uint32_t mode, uint32_t items,
            uint32_t page, const std::string& target = {}) {
    Schema s(title);
    s.method = method;
    s.mode = mode;
    s.items = items;
    s.page = page;
    s.target = target;
    return s;
}

} // namespace

TEST_F(SchemaTest, BuildsTheThreeKindsOfLocation) {
    EXPECT_EQ(make("abc", "get", 0, 30, 0).toLocation(), "shingetsu://thread_616263/get/");
    EXPECT_EQ(make("abc", "get", 1, 30, 0).toLocation(),
              "shingetsu://thread_616263/get/?mode=1&items=30");
    EXPECT_EQ(make("abc", "cache", 2, 30, 3).toLocation(),
              "shingetsu://thread_616263/cache/?mode=2&items=30&page=3");
    EXPECT_EQ(make("abc", "get", 1, 30, 0, "0123abcd").toLocation(),
              "shingetsu://thread_616263/get/0123abcd?mode=1&items=30");
    // Mode 0 carries neither items nor page; the fragment is never written.
    Schema all = make("abc", "get", 0, 77, 9);
    all.fragment = "r5";
    EXPECT_EQ(all.toLocation(), "shingetsu://thread_616263/get/");
}

TEST_F(SchemaTest, ConstructionWithATitleLeavesTheRestEmpty) {
    Schema s("abc");
    EXPECT_EQ(s.title, "abc");
    EXPECT_EQ(s.page, 0u);
    EXPECT_EQ(s.items, 0u);
    EXPECT_EQ(s.mode, 0u);
    EXPECT_TRUE(s.method.empty());
    EXPECT_TRUE(s.target.empty());
    EXPECT_TRUE(s.fragment.empty());
}

TEST_F(SchemaTest, ParsesPartsQueryAndFragment) {
    Schema s = Schema::parse("shingetsu://thread_616263/get/?mode=2&items=10&page=4");
    EXPECT_EQ(s.title, "abc");
    EXPECT_EQ(s.method, "get");
    EXPECT_EQ(s.mode, 2u);
    EXPECT_EQ(s.items, 10u);
    EXPECT_EQ(s.page, 4u);
    EXPECT_EQ(s.toLocation(), "shingetsu://thread_616263/get/?mode=2&items=10&page=4");

    Schema target = Schema::parse("shingetsu://thread_616263/get/0123abcd?mode=1&items=30");
    EXPECT_EQ(target.target, "0123abcd");
    EXPECT_EQ(target.mode, 1u);

    Schema fragment = Schema::parse("shingetsu://thread_616263/get/#r5");
    EXPECT_EQ(fragment.fragment, "r5");
    EXPECT_TRUE(fragment.target.empty());
    EXPECT_EQ(fragment.toLocation(), "shingetsu://thread_616263/get/");

    Schema both = Schema::parse("shingetsu://thread_616263/cache/0123abcd?mode=1&items=5#0123abcd");
    EXPECT_EQ(both.method, "cache");
    EXPECT_EQ(both.items, 5u);
    EXPECT_EQ(both.fragment, "0123abcd");

    // Only the text up to a second "?" is the query.
    Schema twice = Schema::parse("shingetsu://thread_616263/get/?mode=1&items=5?items=9");
    EXPECT_EQ(twice.items, 5u);
}

TEST_F(SchemaTest, NeedsFourPiecesAndThePrefix) {
    Schema four = Schema::parse("shingetsu://thread_616263/get");
    EXPECT_EQ(four.method, "get");
    EXPECT_TRUE(four.target.empty());
    EXPECT_THROW(Schema::parse("shingetsu://thread_616263"), SchemaException);
    EXPECT_THROW(Schema::parse("http://thread_616263/get/"), SchemaException);
    try {
        Schema::parse("shingetsu://thread_616263");
        FAIL();
    } catch (const SchemaException& e) {
        EXPECT_STREQ(e.what(), "parse error");
    }
    // Pieces after the target are ignored.
    EXPECT_EQ(Schema::parse("shingetsu://thread_616263/get/0123/more/").target, "0123");
}

TEST_F(SchemaTest, WithoutQueryItemsComeFromTheConfiguration) {
    Configuration::instance().setRecordsPerPage(50);
    Schema s = Schema::parse("shingetsu://thread_616263/get/");
    EXPECT_EQ(s.items, 50u);
    EXPECT_EQ(s.mode, 0u);
    EXPECT_EQ(s.page, 0u);
    EXPECT_EQ(s.toLocation(), "shingetsu://thread_616263/get/");
}

TEST_F(SchemaTest, BadQueryPairsAreIgnored) {
    Schema s = Schema::parse(
        "shingetsu://thread_616263/get/?mode=3&items=&items=x&a=b=c&page=+1&page= 2&zzz=4");
    EXPECT_EQ(s.mode, 0u);
    EXPECT_EQ(s.items, 30u);
    EXPECT_EQ(s.page, 0u);
    // Names are case-sensitive.
    EXPECT_EQ(Schema::parse("shingetsu://thread_616263/get/?MODE=1&Items=3").mode, 0u);
    EXPECT_EQ(Schema::parse("shingetsu://thread_616263/get/?mode=1&mode=x").mode, 1u);
}

TEST_F(SchemaTest, QueryNumbersAboveThirtyTwoBitsFailTheParse) {
    EXPECT_EQ(Schema::parse("shingetsu://thread_616263/get/?items=4294967295").items, 4294967295u);
    EXPECT_THROW(Schema::parse("shingetsu://thread_616263/get/?items=4294967296"),
                 ConvOverflowError);
    EXPECT_THROW(Schema::parse("shingetsu://thread_616263/get/?page=99999999999999999999"),
                 ConvOverflowError);
    // A name the parser ignores is never converted, however large its value (a cache buster).
    Schema s = Schema::parse("shingetsu://thread_616263/get/?_=99999999999&mode=1&items=5");
    EXPECT_EQ(s.mode, 1u);
    EXPECT_EQ(s.items, 5u);
    EXPECT_EQ(Schema::parse("shingetsu://thread_616263/get/?Page=99999999999#r1").fragment, "r1");
}

TEST_F(SchemaTest, FileNamesDecodeInEitherCaseAndAreBuiltUpperCase) {
    const std::string title = "新月 スレ";
    Schema lower = Schema::parse("shingetsu://thread_e696b0e69c8820e382b9e383ac/get/");
    Schema upper = Schema::parse("shingetsu://thread_E696B0E69C8820E382B9E383AC/get/");
    EXPECT_EQ(lower.title, title);
    EXPECT_EQ(upper.title, title);
    EXPECT_EQ(lower.toLocation(), "shingetsu://thread_E696B0E69C8820E382B9E383AC/get/");
}

TEST(FileToTitleTest, RejectsNamesThatAreNotThreadFiles) {
    EXPECT_EQ(fileToTitle("thread_41"), "A");
    EXPECT_THROW(fileToTitle("thread_"), ConvError);
    EXPECT_THROW(fileToTitle("thread"), ConvError);
    EXPECT_THROW(fileToTitle("threads_41"), ConvError);
    EXPECT_THROW(fileToTitle("thread_414"), ConvError);
    EXPECT_THROW(fileToTitle("thread_4g"), ConvError);
    // 0xFF is never UTF-8; C3 alone is a cut sequence.
    EXPECT_THROW(fileToTitle("thread_FF"), ConvError);
    EXPECT_THROW(fileToTitle("thread_41C3"), ConvError);
    EXPECT_THROW(Schema::parse("shingetsu://thread_/get/"), ConvError);
}
