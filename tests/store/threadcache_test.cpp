#include "foundation/sqlite.h"
#include "store/threadcache.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <set>
#include <thread>

using namespace bryndle;
using bryndle::test::TempDir;

namespace {

ThreadMessage record(const std::string& title, int32_t mtime, const std::string& md5) {
    ThreadMessage m;
    m.title = title;
    m.mtime = mtime;
    m.md5 = md5;
    m.message = "body of " + md5;
    m.name = "name";
    return m;
}

std::string id(int n) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%032x", n);
    return buffer;
}

class ThreadCacheTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("cache.db");
};

std::vector<std::string> schemaTexts(const std::string& path) {
    SQLite db(path);
    auto s = db.prepare("select sql from sqlite_master order by rowid");
    std::vector<std::string> texts;
    for (s->step(); s->fetched(); s->step())
        texts.push_back(s->columnText(0));
    s->finalize();
    return texts;
}

} // namespace

TEST_F(ThreadCacheTest, CreatesExactlyTheSchemaOnceAndReportsNothingTheSecondTime) {
    { ThreadCache first(path); }
    ThreadCache second(path);
    auto texts = schemaTexts(path);
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(
        texts[0],
        "CREATE TABLE THREAD_CACHE (\n\tTITLE\t\t \t\tTEXT,\n\tMTIME \t\t\t\tINT,\n\tMD5 "
        "\t\t\t\tTEXT,\n\tMAIL\t\t\t\tTEXT,\n\tNAME \t\t\t\tTEXT,\n\tMESSAGE \t\t\tTEXT,\n\tTRIP "
        "\t\t\t\tTEXT,\n\tREMOVE_ID\t\t\tTEXT,\n\tREMOVE_STAMP\t\tTEXT,\n\tPUBKEY "
        "\t\t\t\tTEXT,\n\tSIGN \t\t\t\tTEXT,\n\tATTACH \t\t\t\tTEXT,\n\tEXT "
        "\t\t\t\tTEXT,\n\tFLAGS\t\t\t\tINT\n)");
    EXPECT_EQ(texts[1],
              "CREATE TABLE THREAD_INDEX (\n\tTITLE\t\t\t\tTEXT,\n\tPTIME\t\t\t\tINT,\n\tPHASH"
              "\t\t\t\tTEXT,\n\tATIME\t\t\t\tINT,\n\tCOUNT\t\t\t\tINT,\n\tFLAG\t\t\t\tINT\n)");
    EXPECT_EQ(texts[2], "CREATE INDEX PINDEX ON THREAD_CACHE(TITLE)");
    EXPECT_EQ(texts[3], "CREATE INDEX PINDEX2 ON THREAD_CACHE(TITLE, MTIME)");
    EXPECT_EQ(texts[4], "CREATE INDEX FINDEX ON THREAD_CACHE(TITLE, FLAGS)");
    EXPECT_EQ(texts[5], "CREATE UNIQUE INDEX LINDEX ON THREAD_INDEX(TITLE)");
    EXPECT_EQ(texts[6], "CREATE UNIQUE INDEX UINDEX ON THREAD_CACHE(TITLE,MTIME,MD5)");
}

TEST_F(ThreadCacheTest, MissingIndexTableStaysMissingAndIndexOperationsFail) {
    {
        SQLite db(path);
        db.exec(
            "CREATE TABLE THREAD_CACHE (TITLE TEXT, MTIME INT, MD5 TEXT, MAIL TEXT, NAME TEXT, "
            "MESSAGE TEXT, TRIP TEXT, REMOVE_ID TEXT, REMOVE_STAMP TEXT, PUBKEY TEXT, SIGN TEXT, "
            "ATTACH TEXT, EXT TEXT, FLAGS INT)");
    }
    ThreadCache cache(path);
    EXPECT_THROW(cache.index("A"), SQLiteException);
    EXPECT_THROW(cache.updateIndex("A"), SQLiteException);
    // The lock and the transaction were released: the cache still works.
    cache.insert(record("A", 1, id(1)));
    EXPECT_EQ(cache.count("A"), 1);
}

TEST_F(ThreadCacheTest, DuplicateRefusedWhileTheRestOfTheBatchIsStored) {
    ThreadCache cache(path);
    cache.insert(record("A", 10, id(2)));
    cache.insertAll({record("A", 5, id(1)), record("A", 10, id(2)), record("A", 10, id(3)),
                     record("B", 10, id(2))});
    EXPECT_EQ(cache.count("A"), 3);
    EXPECT_EQ(cache.count("B"), 1);
    EXPECT_EQ(cache.count("C"), 0);
}

TEST_F(ThreadCacheTest, StoredFieldsComeBackExceptKeyAndSignature) {
    ThreadCache cache(path);
    ThreadMessage m = record("\xe6\x96\xb0\xe6\x9c\x88 'q' \"d\"", -5, id(7));
    m.mail = "sage";
    m.trip = "abcdefghijk";
    m.remove_id = "r";
    m.remove_stamp = "9";
    m.pubkey = "KEY";
    m.sign = "SIG";
    m.attach = id(8);
    m.ext = "png";
    m.flags = 4000000000u;
    cache.insert(m);
    auto got = cache.messages(m.title, 0, ThreadCache::All);
    ASSERT_EQ(got.size(), 1u);
    const auto& g = got[0];
    EXPECT_EQ(g.title, m.title);
    EXPECT_EQ(g.mtime, -5);
    EXPECT_EQ(g.md5, m.md5);
    EXPECT_EQ(g.message, m.message);
    EXPECT_EQ(g.mail, "sage");
    EXPECT_EQ(g.name, "name");
    EXPECT_EQ(g.trip, "abcdefghijk");
    EXPECT_EQ(g.remove_id, "r");
    EXPECT_EQ(g.remove_stamp, "9");
    EXPECT_EQ(g.attach, m.attach);
    EXPECT_EQ(g.ext, "png");
    EXPECT_EQ(g.flags, 4000000000u);
    EXPECT_EQ(g.pubkey, "");
    EXPECT_EQ(g.sign, "");
}

TEST_F(ThreadCacheTest, MessagesSkipAndLimitInStampOrder) {
    ThreadCache cache(path);
    std::vector<ThreadMessage> batch;
    for (int i = 9; i >= 0; --i)
        batch.push_back(record("T", 100 + i, id(i)));
    cache.insertAll(batch);
    EXPECT_TRUE(cache.messages("T", 0, 0).empty());
    EXPECT_TRUE(cache.messages("T", 10, 5).empty());
    EXPECT_TRUE(cache.messages("T", 4000000000u, ThreadCache::All).empty());
    auto all = cache.messages("T", 0, ThreadCache::All);
    ASSERT_EQ(all.size(), 10u);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(all[i].mtime, 100 + i);
    auto page = cache.messages("T", 3, 4);
    ASSERT_EQ(page.size(), 4u);
    EXPECT_EQ(page.front().mtime, 103);
    EXPECT_EQ(page.back().mtime, 106);
    EXPECT_EQ(cache.messages("T", 8, 30).size(), 2u);
}

TEST_F(ThreadCacheTest, HashPrefixIgnoresCaseAndSummariesFollowTheStamp) {
    ThreadCache cache(path);
    cache.insertAll({record("T", 1, "0123abcd" + std::string(24, 'e')), record("T", 5, id(5)),
                     record("U", 9, "0123abcd" + std::string(24, 'f'))});
    auto found = cache.messageByHashPrefix("T", "0123ABCD");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->mtime, 1);
    EXPECT_FALSE(cache.messageByHashPrefix("T", "ffff"));
    auto summaries = cache.summariesSince("T", 2);
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0].mtime, 5);
    EXPECT_EQ(summaries[0].md5, id(5));
    EXPECT_EQ(cache.summariesSince("T", 0).size(), 2u);
}

TEST_F(ThreadCacheTest, IndexRowsFollowTheCachedRecords) {
    ThreadCache cache(path);
    cache.setClock([] { return std::time_t{1000000}; });
    EXPECT_EQ(cache.now(), 1000000 - 57600);
    EXPECT_FALSE(cache.index("T"));

    cache.updateIndex("T"); // no records yet
    auto empty = cache.index("T");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->ptime, 0);
    EXPECT_EQ(empty->phash, "");
    EXPECT_EQ(empty->count, 0);
    EXPECT_EQ(empty->flag, 1);
    EXPECT_EQ(empty->recentId(), "");

    cache.insertAll({record("T", 50, id(1)), record("T", 70, "ABCDEF12" + std::string(24, '0'))});
    cache.clearFlag("T");
    EXPECT_EQ(cache.index("T")->flag, 0);
    cache.setClock([] { return std::time_t{2000000}; });
    cache.updateIndex("T");
    auto row = cache.index("T");
    EXPECT_EQ(row->ptime, 70);
    EXPECT_EQ(row->recentId(), "ABCDEF12");
    EXPECT_EQ(row->atime, 2000000 - 57600);
    EXPECT_EQ(row->count, 2);
    EXPECT_EQ(row->flag, 1);

    cache.insert(record("U", 60, id(3)));
    cache.updateIndex("U");
    auto rows = cache.indexes();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, "T");
    EXPECT_EQ(rows[1].title, "U");
    auto since = cache.indexesSince(65);
    ASSERT_EQ(since.size(), 1u);
    EXPECT_EQ(since[0].title, "T");
}

TEST_F(ThreadCacheTest, TwoThreadsInsertAndReadAtOnce) {
    ThreadCache cache(path);
    constexpr int perThread = 300;
    std::atomic<bool> failed{false};
    auto writer = [&](const std::string& title) {
        try {
            for (int i = 0; i < perThread; ++i) {
                cache.insertAll({record(title, i, id(i)), record(title, i, id(i))});
                if (i % 10 == 0) {
                    cache.updateIndex(title);
                    cache.messages(title, 0, ThreadCache::All);
                    cache.summariesSince(title, 0);
                }
            }
        } catch (const std::exception&) {
            failed = true;
        }
    };
    std::thread a(writer, "A");
    std::thread b(writer, "B");
    for (int i = 0; i < 50; ++i) {
        cache.indexes();
        cache.count("A");
    }
    a.join();
    b.join();
    EXPECT_FALSE(failed);
    EXPECT_EQ(cache.count("A"), perThread);
    EXPECT_EQ(cache.count("B"), perThread);
    std::set<std::string> ids;
    for (const auto& m : cache.messages("A", 0, ThreadCache::All))
        ids.insert(m.md5);
    EXPECT_EQ(ids.size(), static_cast<size_t>(perThread));
}

TEST_F(ThreadCacheTest, BusyDatabaseIsReportedAndReleasesTheLock) {
    ThreadCache cache(path);
    SQLite other(path);
    other.exec("BEGIN EXCLUSIVE");
    EXPECT_THROW(cache.count("T"), SQLiteBusyException);
    other.exec("ROLLBACK");
    EXPECT_EQ(cache.count("T"), 0);
}

TEST_F(ThreadCacheTest, OnlyARefusedDuplicateIsSkippedAnyOtherFailureRaises) {
    ThreadCache cache(path);
    EXPECT_EQ(cache.insertAll({record("T", 1, id(1)), record("T", 2, id(2))}), 2u);
    EXPECT_EQ(cache.insertAll({record("T", 1, id(1)), record("T", 3, id(3))}), 1u);

    // Another connection holds the write lock: nothing can be stored, and the caller hears it.
    SQLite other(path);
    other.exec("BEGIN IMMEDIATE");
    EXPECT_THROW(cache.insertAll({record("T", 4, id(4))}), SQLiteBusyException);
    other.exec("ROLLBACK");
    EXPECT_EQ(cache.count("T"), 3);
    EXPECT_EQ(cache.insertAll({record("T", 4, id(4))}), 1u);
}

TEST_F(ThreadCacheTest, AFileThatIsNoDatabaseFailsTheConstruction) {
    {
        std::ofstream garbage(path, std::ios::binary);
        garbage << std::string(4096, 'x');
    }
    EXPECT_THROW(ThreadCache cache(path), SQLiteException);
}
