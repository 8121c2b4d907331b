#include "foundation/sqlite.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace bryndle;
using bryndle::test::TempDir;

namespace {

class SQLiteTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("t.db");
};

} // namespace

TEST_F(SQLiteTest, BindsEveryValueKindInOneCall) {
    SQLite db(path);
    db.exec("create table t (a, b, c, d, e, f, g, h, i, j, k)");
    auto insert = db.prepare("insert into t values (?,?,?,?,?,?,?,?,?,?,?)");
    const uint8_t blob[] = {0, 1, 2, 255};
    insert->bind(1, int64_t{-5000000000}, uint32_t{4000000000u}, int16_t{-2}, uint8_t{250}, 1.5f,
                 2.25, std::string("t\xc3\xa9xt"), std::u16string(u"\u3042b"),
                 Blob{blob, sizeof blob}, nullptr, uint64_t{7});
    insert->step();
    EXPECT_FALSE(insert->fetched());
    insert->finalize();

    auto select = db.prepare("select a, b, c, d, e, f, g, h, hex(i), typeof(j), k from t");
    select->step();
    ASSERT_TRUE(select->fetched());
    EXPECT_EQ(select->columnInt64(0), -5000000000);
    EXPECT_EQ(select->columnInt64(1), 4000000000);
    EXPECT_EQ(select->columnInt(2), -2);
    EXPECT_EQ(select->columnInt(3), 250);
    EXPECT_EQ(select->columnText(4), "1.5");
    EXPECT_EQ(select->columnText(5), "2.25");
    EXPECT_EQ(select->columnText(6), "t\xc3\xa9xt");
    EXPECT_EQ(select->columnText(7), "\xe3\x81\x82"
                                     "b");
    EXPECT_EQ(select->columnText(8), "000102FF");
    EXPECT_EQ(select->columnText(9), "null");
    EXPECT_EQ(select->columnInt(10), 7);
    select->finalize();
}

TEST_F(SQLiteTest, StepResetAndEmptyResults) {
    SQLite db(path);
    db.exec("create table t (a); insert into t values (NULL);");
    auto none = db.prepare("select a from t where a = 1");
    none->step();
    EXPECT_FALSE(none->fetched());
    none->finalize();

    auto nullText = db.prepare("select a from t");
    nullText->step();
    ASSERT_TRUE(nullText->fetched());
    EXPECT_EQ(nullText->columnText(0), "");
    EXPECT_EQ(nullText->dataCount(), 1);
    EXPECT_EQ(nullText->columnCount(), 1);
    nullText->finalize();

    auto count = db.prepare("select count(*) from t where ?1 is not null or 1");
    count->bind(1);
    count->bind(1, int64_t{3});
    count->step();
    EXPECT_EQ(count->columnInt(0), 1);
    count->reset();
    count->step(); // values stay bound across reset
    EXPECT_TRUE(count->fetched());
    count->finalize();
}

TEST_F(SQLiteTest, PrepareCompilesTheFirstStatementOnly) {
    SQLite db(path);
    db.exec("create table t (a)");
    auto s = db.prepare("insert into t values (1); insert into t values (2);");
    s->step();
    s->finalize();
    auto c = db.prepare("select count(*) from t");
    c->step();
    EXPECT_EQ(c->columnInt(0), 1);
}

TEST_F(SQLiteTest, ErrorsCarrySQLitesCodeAndMessage) {
    SQLite db(path);
    db.exec("create table t (a unique)");
    try {
        db.exec("create table t (a)");
        FAIL();
    } catch (const SQLiteException& e) {
        EXPECT_EQ(e.code(), SQLITE_ERROR);
        EXPECT_STREQ(e.what(), "table t already exists");
    }
    db.exec("insert into t values (1)");
    auto dup = db.prepare("insert into t values (1)");
    try {
        dup->step();
        FAIL();
    } catch (const SQLiteBusyException&) {
        FAIL() << "a constraint is not busy";
    } catch (const SQLiteException& e) {
        EXPECT_EQ(e.code(), SQLITE_CONSTRAINT);
        EXPECT_FALSE(dup->fetched());
    }
    EXPECT_THROW(db.prepare("selec nothing"), SQLiteException);
}

TEST_F(SQLiteTest, BusyWhenAnotherConnectionHoldsTheWriteLock) {
    SQLite writer(path);
    writer.exec("create table t (a)");
    SQLite other(path);
    writer.exec("BEGIN EXCLUSIVE");
    writer.exec("insert into t values (1)");
    try {
        other.exec("insert into t values (2)");
        FAIL() << "expected busy";
    } catch (const SQLiteBusyException& e) {
        EXPECT_EQ(e.code(), SQLITE_BUSY);
    }
    // Even reading (the schema, while preparing) is refused under an exclusive lock.
    EXPECT_THROW(other.prepare("select count(*) from t")->step(), SQLiteBusyException);
    writer.commit();
    other.exec("insert into t values (2)");
}

TEST_F(SQLiteTest, FinalizeTwiceIsHarmless) {
    SQLite db(path);
    {
        auto s = db.prepare("select 1");
        s->finalize();
        EXPECT_EQ(s->handle(), nullptr);
    } // the destructor must not finalize again
    db.close();
    EXPECT_EQ(db.handle(), nullptr);
}

TEST_F(SQLiteTest, AFailedOpenReportsSQLitesErrorAndKeepsNoConnection) {
    const std::string missing = dir.path().string() + "/missing/dir/x.db";
    SQLite(path).close(); // SQLite's own one-time allocations happen before the count
    const sqlite3_int64 before = sqlite3_memory_used();
    for (int i = 0; i < 3; ++i) {
        try {
            SQLite db(missing);
            FAIL() << "opened " << missing;
        } catch (const SQLiteException& e) {
            EXPECT_EQ(e.code(), SQLITE_CANTOPEN);
            EXPECT_STREQ(e.what(), "unable to open database file");
        }
    }
    EXPECT_EQ(sqlite3_memory_used(), before);
}
