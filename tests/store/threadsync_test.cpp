#include "config/configuration.h"
#include "foundation/digest.h"
#include "foundation/sqlite.h"
#include "node/threadfile.h"
#include "store/threadcache.h"
#include "store/threadsync.h"
#include "support/tempdir.h"

#include "fakenode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace bryndle;
using bryndle::test::FakeNode;
using bryndle::test::TempDir;

namespace {

std::string id(int n) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%032x", n);
    return buffer;
}

// A cache that notes the size of every batch it is given; with a blocker, another connection
// holds the write lock while a batch is stored.
class BatchNotingCache : public ThreadCache {
public:
    using ThreadCache::ThreadCache;
    size_t insertAll(const std::vector<ThreadMessage>& messages) override {
        batches.push_back(messages.size());
        if (!blocker)
            return ThreadCache::insertAll(messages);
        blocker->exec("BEGIN IMMEDIATE");
        try {
            size_t stored = ThreadCache::insertAll(messages);
            blocker->exec("ROLLBACK");
            return stored;
        } catch (...) {
            blocker->exec("ROLLBACK");
            throw;
        }
    }
    std::vector<size_t> batches;
    SQLite* blocker = nullptr;
};

class ThreadSyncTest : public ::testing::Test {
protected:
    static constexpr const char* Title = "sync";

    TempDir dir;
    FakeNode node;
    BatchNotingCache cache{dir.file("cache.db")};
    std::string file = threadFileName(Title);

    void addRecords(int count, int attachmentAt = 0) {
        for (int n = 1; n <= count; ++n) {
            std::string fields = "body:record " + std::to_string(n);
            if (n == attachmentAt)
                fields += "<>attach:" + Digest::base64Encode("bytes") + "<>suffix:txt";
            node.add(file, {static_cast<uint32_t>(n), id(n), fields});
        }
    }

    ThreadSync::Result fetch(const std::string& attachDir, size_t batchRecords = 10) {
        ThreadSync::Options options;
        options.timeout = 20;
        options.batchRecords = batchRecords;
        ThreadSync sync(cache, "127.0.0.1", node.port(), attachDir, options);
        return sync.fetch(Title);
    }
};

} // namespace

TEST_F(ThreadSyncTest, StoresInBatchesIntoWhatItIsGivenAndReportsWhatItDid) {
    // Nothing process-wide exists: the synchronisation works on its parameters alone.
    ASSERT_FALSE(Configuration::hasInstance());
    ASSERT_FALSE(ThreadCache::hasInstance());
    addRecords(25, 7);

    const ThreadSync::Result first = fetch(dir.file("files"));
    EXPECT_FALSE(first.known);
    EXPECT_EQ(first.heads, 25u);
    EXPECT_EQ(first.stored, 25u);
    EXPECT_EQ(first.skipped, 0u);
    EXPECT_EQ(cache.batches, (std::vector<size_t>{10, 10, 5}));
    EXPECT_EQ(cache.count(Title), 25);
    EXPECT_EQ(cache.index(Title)->count, 25);
    std::ifstream attachment(dir.file("files/" + Digest::md5Hex("bytes") + ".txt"));
    EXPECT_TRUE(attachment.good());
    EXPECT_EQ(node.targets().front(), "/thread.cgi/sync");

    const ThreadSync::Result again = fetch(dir.file("files"));
    EXPECT_TRUE(again.known);
    EXPECT_EQ(again.recentId, id(25).substr(0, 8));
    EXPECT_EQ(again.stored, 0u);
    EXPECT_EQ(cache.batches.size(), 3u); // nothing new, no empty batch
}

TEST_F(ThreadSyncTest, BatchesStoredBeforeAFailureStayAndTheNextFetchContinues) {
    addRecords(30, 25);
    // The attachment folder cannot be made (a file is in its way): record 25 fails the fetch.
    std::ofstream(dir.file("blocked")) << "a file";
    EXPECT_THROW(fetch(dir.file("blocked/files")), std::exception);
    EXPECT_EQ(cache.count(Title), 20);
    // No index row: the next fetch starts from the same point.
    EXPECT_FALSE(cache.index(Title));

    const ThreadSync::Result next = fetch(dir.file("files"));
    EXPECT_EQ(next.stored, 10u);
    EXPECT_EQ(cache.count(Title), 30);
    EXPECT_EQ(cache.index(Title)->count, 30);
}

TEST_F(ThreadSyncTest, ACacheBusyWhileStoringFailsTheFetch) {
    addRecords(3);
    SQLite other(dir.file("cache.db"));
    cache.blocker = &other;
    EXPECT_THROW(fetch(dir.file("files")), SQLiteBusyException);
    EXPECT_FALSE(cache.index(Title));
    cache.blocker = nullptr;
    EXPECT_EQ(fetch(dir.file("files")).stored, 3u);
}
