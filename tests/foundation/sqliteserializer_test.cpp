#include "foundation/controlbase.h"
#include "foundation/sqlite.h"
#include "foundation/sqliteserializer.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <limits>

using namespace bryndle;
using bryndle::test::TempDir;

namespace {

class SerializerTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("environ.db");
};

} // namespace

TEST(SerializerStatements, ExactTexts) {
    SQLiteSerializer store("x.db", "X");
    auto abc = makeArray(std::string("a"), std::string("b"), std::string("c"));
    EXPECT_EQ(SQLiteSerializer("x.db", "MainForm").createTableSQL(5),
              "create table MainForm (ID primary key,V0, V1, V2, V3, V4);");
    EXPECT_EQ(store.insertSQL(*abc), "insert into X values('X','a', 'b', 'c')");
    EXPECT_EQ(store.updateSQL(*abc), "update X set V0='a', V1= 'b', V2= 'c' where ID= 'X'");
    EXPECT_EQ(store.deleteSQL(), "delete from X");
    EXPECT_EQ(store.createTableSQL(1), "create table X (ID primary key,V0);");
    EXPECT_EQ(store.updateSQL(*makeArray(std::string("it's"))),
              "update X set V0='it''s' where ID= 'X'");
    // Numbers are SQL numbers, so that they come back as numbers and texts as texts.
    auto mixed = makeArray(int64_t{-7}, 2.5, std::string("8"), true);
    EXPECT_EQ(store.insertSQL(*mixed), "insert into X values('X',-7, 2.5, '8', 'true')");
    EXPECT_EQ(store.updateSQL(*mixed),
              "update X set V0=-7, V1= 2.5, V2= '8', V3= 'true' where ID= 'X'");
    EXPECT_THROW(store.createTableSQL(0), Exception);
    EXPECT_THROW(store.insertSQL(VArray()), Exception);
}

TEST(SerializerStatements, RefusesNamesThatAreNotPlainIdentifiers) {
    for (const char* bad : {"", "a b", "x;drop table y", "a'b", "Bryndle a 0.10", "t\xc3\xa9"})
        EXPECT_THROW(SQLiteSerializer("x.db", bad), Exception) << bad;
    EXPECT_NO_THROW(SQLiteSerializer("x.db", "Bryndle_a_0_10"));
}

TEST_F(SerializerTest, KindsAfterARoundTrip) {
    SQLiteSerializer store(path, "Kinds");
    store.save(*makeArray(int64_t{42}, std::string(""), std::make_shared<VNull>(), true, false, 2.0,
                          std::string("010"), 2.5, std::string("text"), int64_t{-3}));
    auto loaded = store.load()->values();
    ASSERT_EQ(loaded.size(), 10u);
    const char* kinds[] = {"VLong", "VNull",   "VNull", "VString", "VString",
                           "VLong", "VString", "VReal", "VString", "VLong"};
    const char* texts[] = {"42", "", "", "true", "false", "2", "010", "2.5", "text", "-3"};
    for (size_t i = 0; i < loaded.size(); ++i) {
        EXPECT_EQ(loaded[i]->typeOf(), kinds[i]) << i;
        EXPECT_EQ(loaded[i]->toString(), texts[i]) << i;
    }
}

TEST_F(SerializerTest, TextsStayTextsAndNumbersStayNumbers) {
    SQLiteSerializer store(path, "Texts");
    const std::vector<std::string> texts = {"2ch", "010", "0x7f000001", "42", " 12",
                                            "1e5", "-0",  "08",         "inf"};
    std::vector<VariantPtr> values;
    for (const auto& text : texts)
        values.push_back(std::make_shared<VString>(text));
    store.save(VArray(values));
    auto loaded = store.load()->values();
    ASSERT_EQ(loaded.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(loaded[i]->typeOf(), "VString") << texts[i];
        EXPECT_EQ(loaded[i]->toString(), texts[i]);
    }

    SQLiteSerializer numbers(path, "Numbers");
    numbers.save(*makeArray(INT64_MAX, INT64_MIN, int64_t{0}, 1234567.0, -0.25,
                            std::numeric_limits<long double>::infinity()));
    auto back = numbers.load()->values();
    ASSERT_EQ(back.size(), 6u);
    EXPECT_EQ(back[0]->typeOf(), "VLong");
    EXPECT_EQ(back[0]->toLong(), INT64_MAX);
    EXPECT_EQ(back[1]->typeOf(), "VLong");
    EXPECT_EQ(back[1]->toLong(), INT64_MIN);
    EXPECT_EQ(back[2]->typeOf(), "VLong");
    EXPECT_EQ(back[3]->typeOf(), "VReal");
    EXPECT_EQ(back[3]->toString(), "1.23457e+06");
    EXPECT_EQ(back[4]->typeOf(), "VReal");
    EXPECT_EQ(back[4]->toString(), "-0.25");
    EXPECT_EQ(back[5]->toString(), "inf"); // no SQL number: kept as its text
}

TEST_F(SerializerTest, RecordsWrittenAsTextsStillReadAsNumbers) {
    {
        SQLite db(path);
        db.exec(
            "create table Old (ID primary key,V0, V1); insert into Old values('Old','800', 'x')");
    }
    auto loaded = SQLiteSerializer(path, "Old").load()->values();
    EXPECT_EQ(loaded[0]->toLong(), 800);
    EXPECT_EQ(loaded[1]->toString(), "x");
}

TEST_F(SerializerTest, QuotesInTextsSurvive) {
    SQLiteSerializer store(path, "Quotes");
    const std::string tricky = "it's ''twice'' '); drop table Quotes; --";
    store.save(*makeArray(tricky, std::string("\xe6\x9c\x94 \"dq\"")));
    auto loaded = store.load()->values();
    EXPECT_EQ(loaded[0]->toString(), tricky);
    EXPECT_EQ(loaded[1]->toString(), "\xe6\x9c\x94 \"dq\"");
    store.save(*makeArray(std::string("'"), std::string("b")));
    EXPECT_EQ(store.load()->values()[0]->toString(), "'");
}

TEST_F(SerializerTest, SecondSaveUpdatesTheOneRow) {
    SQLiteSerializer store(path, "Rec");
    store.save(*makeArray(int64_t{1}, int64_t{2}));
    store.save(*makeArray(int64_t{3}, int64_t{4}));
    SQLite db(path);
    auto c = db.prepare("select count(*) from Rec");
    c->step();
    EXPECT_EQ(c->columnInt(0), 1);
    c->finalize();
    EXPECT_EQ(store.load()->toString(), "34");
}

TEST_F(SerializerTest, ARecordOfAnotherLengthReplacesTheTable) {
    SQLiteSerializer store(path, "Rec");
    store.save(*makeArray(int64_t{1}, int64_t{2}, int64_t{3}));
    store.save(*makeArray(int64_t{9})); // fewer values: no stale columns left behind
    auto loaded = store.load();
    ASSERT_EQ(loaded->size(), 1u);
    EXPECT_EQ(loaded->toString(), "9");

    store.save(*makeArray(int64_t{5}, int64_t{6}, int64_t{7})); // more values: stored too
    loaded = store.load();
    ASSERT_EQ(loaded->size(), 3u);
    EXPECT_EQ(loaded->toString(), "567");
    store.save(*makeArray(int64_t{8}, int64_t{6}, int64_t{7})); // and updated in place after
    EXPECT_EQ(store.load()->toString(), "867");
}

TEST_F(SerializerTest, TableWithoutItsRowLoadsNullsAndSaveInsertsTheRow) {
    {
        SQLite db(path);
        db.exec("create table Rec (ID primary key,V0, V1)");
    }
    SQLiteSerializer store(path, "Rec");
    auto loaded = store.load();
    ASSERT_EQ(loaded->size(), 2u);
    EXPECT_EQ(loaded->values()[0]->typeOf(), "VNull");
    store.save(*makeArray(int64_t{1}, int64_t{2}));
    EXPECT_EQ(store.load()->toString(), "12");
    store.save(*makeArray(int64_t{3}, int64_t{4})); // and then updates that one row
    SQLite db(path);
    auto c = db.prepare("select count(*) from Rec");
    c->step();
    EXPECT_EQ(c->columnInt(0), 1);
    c->finalize();
    EXPECT_EQ(store.load()->toString(), "34");
}

namespace {
// A store whose insert fails after its table has been created.
class FailingInsertStore : public SQLiteSerializer {
public:
    using SQLiteSerializer::SQLiteSerializer;
    std::string insertSQL(const VArray&) const override { return "insert into Missing values(1)"; }
};
} // namespace

TEST_F(SerializerTest, ASaveThatFailsHalfWayLeavesNoTableBehind) {
    FailingInsertStore store(path, "Rec");
    EXPECT_THROW(store.save(*makeArray(int64_t{1})), SQLiteException);
    EXPECT_THROW(SQLiteSerializer(path, "Rec").load(), SQLiteException);
    SQLiteSerializer(path, "Rec").save(*makeArray(int64_t{5}));
    EXPECT_EQ(SQLiteSerializer(path, "Rec").load()->toString(), "5");
}

TEST_F(SerializerTest, LoadingAMissingTableRaisesTheDatabaseError) {
    SQLiteSerializer store(path, "Nothing");
    EXPECT_THROW(store.load(), SQLiteException);
}

TEST_F(SerializerTest, BusyFileRaisesBusyAndLeavesTheRecord) {
    SQLiteSerializer store(path, "Rec");
    store.save(*makeArray(int64_t{1}));
    SQLite holder(path);
    holder.exec("BEGIN EXCLUSIVE");
    EXPECT_THROW(store.save(*makeArray(int64_t{2})), SQLiteBusyException);
    holder.exec("ROLLBACK");
    EXPECT_EQ(store.load()->toString(), "1");
}

namespace {
class SomeWindow : public ControlBase {
public:
    explicit SomeWindow(const std::string& file) : ControlBase("SomeWindow", file) {}
};
} // namespace

TEST_F(SerializerTest, ControlsKeepTheirRecordUnderTheirClassName) {
    SomeWindow window(path);
    EXPECT_THROW(window.load(), SQLiteException);
    window.save(*makeArray(int64_t{700}, int64_t{500}));
    EXPECT_EQ(SQLiteSerializer(path, "SomeWindow").load()->toString(), "700500");
    EXPECT_EQ(window.load()->size(), 2u);
}
