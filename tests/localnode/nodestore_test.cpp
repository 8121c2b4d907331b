#include "nodeconfig.h"
#include "nodesamples.h"
#include "nodestore.h"

#include "foundation/digest.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

namespace bryndle {
namespace {

using test::TempDir;

TEST(NodeStoreTest, RecordIdIsTheMd5OfTheRecordText) {
    NodeRecord record = NodeStore::makeRecord(42, "body:hello<>name:a:b");
    EXPECT_EQ(record.id, Digest::md5Hex("body:hello<>name:a:b"));
    EXPECT_EQ(record.line(), "42<>" + record.id + "<>body:hello<>name:a:b");
    EXPECT_EQ(record.headLine(), "42<>" + record.id);
}

TEST(NodeStoreTest, RegisterAddAndRead) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    EXPECT_TRUE(store.registerThread("empty", 100));
    EXPECT_FALSE(store.registerThread("empty", 200));
    auto empty = store.thread("empty");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->stamp, 100);
    EXPECT_EQ(empty->records, 0);
    EXPECT_EQ(empty->size, 0);

    NodeRecord a = NodeStore::makeRecord(300, "body:a");
    NodeRecord b = NodeStore::makeRecord(100, "body:b");
    NodeRecord c = NodeStore::makeRecord(200, "body:c");
    EXPECT_TRUE(store.addRecord("t", a));
    EXPECT_TRUE(store.addRecord("t", b));
    EXPECT_TRUE(store.addRecord("t", c));
    EXPECT_FALSE(store.addRecord("t", a));

    auto all = store.records("t", 0, INT64_MAX);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].text, "body:b");
    EXPECT_EQ(all[1].text, "body:c");
    EXPECT_EQ(all[2].text, "body:a");
    auto fromMiddle = store.records("t", 200, INT64_MAX);
    ASSERT_EQ(fromMiddle.size(), 2u);
    EXPECT_EQ(fromMiddle[0].stamp, 200);
    EXPECT_EQ(store.records("t", 101, 199).size(), 0u);

    auto thread = store.thread("t");
    ASSERT_TRUE(thread);
    EXPECT_EQ(thread->stamp, 300);
    EXPECT_EQ(thread->records, 3);
    EXPECT_EQ(thread->size,
              static_cast<int64_t>(a.line().size() + b.line().size() + c.line().size() + 3));
    EXPECT_EQ(store.threadCount(), 2);
    EXPECT_EQ(store.recordCount(), 3);
}

TEST(NodeStoreTest, StampsMayRepeatAndSingleRecordsAreFoundByStampAndId) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    NodeRecord first = NodeStore::makeRecord(500, "body:first");
    NodeRecord second = NodeStore::makeRecord(500, "body:second");
    store.addRecord("t", first);
    store.addRecord("t", second);
    EXPECT_EQ(store.records("t", 500, 500).size(), 2u);

    std::string upper = first.id;
    for (char& ch : upper) {
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    auto found = store.record("t", 500, upper);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].text, "body:first");
    EXPECT_TRUE(store.record("t", 501, first.id).empty());
    EXPECT_TRUE(store.record("other", 500, first.id).empty());
}

TEST(NodeStoreTest, ThreadsNewestFirstAndDeletion) {
    TempDir dir;
    NodeStore store(dir.file("node.db"));
    store.addRecord("old", NodeStore::makeRecord(10, "body:x"));
    store.addRecord("new", NodeStore::makeRecord(30, "body:x"));
    store.registerThread("middle", 20);
    auto threads = store.threads();
    ASSERT_EQ(threads.size(), 3u);
    EXPECT_EQ(threads[0].title, "new");
    EXPECT_EQ(threads[1].title, "middle");
    EXPECT_EQ(threads[2].title, "old");

    EXPECT_TRUE(store.deleteThread("new"));
    EXPECT_FALSE(store.deleteThread("new"));
    EXPECT_FALSE(store.thread("new"));
    EXPECT_EQ(store.recordCount(), 1);
    // A thread taken up again after deletion starts empty.
    store.registerThread("new", 40);
    EXPECT_EQ(store.thread("new")->records, 0);
}

TEST(NodeStoreTest, KeepsEverythingAcrossReopening) {
    TempDir dir;
    NodeRecord record = NodeStore::makeRecord(7, "body:kept");
    {
        NodeStore store(dir.file("node.db"));
        store.addRecord("t", record);
        store.close();
        EXPECT_THROW(store.threadCount(), Exception);
    }
    NodeStore again(dir.file("node.db"));
    auto records = again.records("t", 0, INT64_MAX);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].id, record.id);
    EXPECT_EQ(records[0].text, "body:kept");
}

TEST(NodeSamplesTest, SamplesHaveTaggedTitlesALongThreadAndAnImage) {
    const int64_t now = 1700000000;
    auto records = NodeSamples::records(now);
    std::map<std::string, int> counts;
    std::set<std::pair<std::string, int64_t>> stamps;
    bool repeatedStamp = false;
    bool image = false;
    for (const auto& [title, record] : records) {
        ++counts[title];
        EXPECT_LT(record.stamp, now);
        EXPECT_GT(record.stamp, now - 30 * 24 * 3600);
        EXPECT_EQ(record.id, Digest::md5Hex(record.text));
        EXPECT_EQ(record.text.find('\n'), std::string::npos);
        repeatedStamp = repeatedStamp || !stamps.insert({title, record.stamp}).second;
        if (record.text.find("attach:") == 0) {
            image = true;
            EXPECT_NE(record.text.find("<>suffix:png"), std::string::npos);
            std::string encoded = record.text.substr(7, record.text.find("<>") - 7);
            EXPECT_EQ(Digest::base64Decode(encoded), NodeSamples::png());
        }
    }
    EXPECT_TRUE(image);
    EXPECT_TRUE(repeatedStamp);
    EXPECT_EQ(NodeSamples::png().substr(0, 8), "\x89PNG\r\n\x1a\n");
    int tagged = 0;
    int longest = 0;
    for (const auto& [title, count] : counts) {
        tagged += title.find("【") != std::string::npos;
        longest = std::max(longest, count);
    }
    EXPECT_GE(tagged, 3);
    EXPECT_GE(longest, 200);
    EXPECT_GE(counts.size(), 5u);

    TempDir dir;
    NodeStore store(dir.file("node.db"));
    NodeSamples::seed(store, now);
    EXPECT_EQ(store.recordCount(), static_cast<int64_t>(records.size()));
    EXPECT_EQ(store.threadCount(),
              static_cast<int64_t>(counts.size() + NodeSamples::emptyThreads().size()));
}

TEST(NodeConfigTest, IniSectionAndEnvironment) {
    NodeConfig config;
    config.applyIni("; comment\n[other]\nport = 1\n[Node]\nPort = 8123\ndata = store\n"
                    "samples = no\n",
                    "/opt/node");
    EXPECT_EQ(config.port, 8123);
    EXPECT_EQ(config.dataFolder, "/opt/node/store");
    EXPECT_FALSE(config.samples);
    config.applyIni("[node]\ndata=/var/x\n", "/opt/node");
    EXPECT_EQ(config.dataFolder, "/var/x");
    EXPECT_THROW(config.applyIni("[node]\nport = 70000\n", "/"), Exception);
    EXPECT_THROW(config.applyIni("[node]\nport = 80a\n", "/"), Exception);

    TempDir dir;
    {
        std::ofstream ini(dir.file(NodeConfig::kFileName));
        ini << "[node]\nport=9000\n";
    }
    std::map<std::string, std::string> environment;
    auto lookup = [&](const char* name) -> const char* {
        auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
    NodeConfig fromFile = NodeConfig::load(dir.path().string(), lookup);
    EXPECT_EQ(fromFile.port, 9000);
    EXPECT_EQ(fromFile.dataFolder, dir.path().string());
    EXPECT_TRUE(fromFile.samples);

    environment = {{"BRYNDLE_NODE_PORT", "0"},
                   {"BRYNDLE_NODE_DATA", "/tmp/elsewhere"},
                   {"BRYNDLE_NODE_SAMPLES", "0"}};
    NodeConfig overridden = NodeConfig::load(dir.path().string(), lookup);
    EXPECT_EQ(overridden.port, 0);
    EXPECT_EQ(overridden.dataFolder, "/tmp/elsewhere");
    EXPECT_FALSE(overridden.samples);
    EXPECT_EQ(overridden.storePath(), "/tmp/elsewhere/node.db");

    NodeConfig defaults = NodeConfig::load((dir.path() / "missing").string(), [](const char*) {
        return static_cast<const char*>(nullptr);
    });
    EXPECT_EQ(defaults.port, 8000);
}

} // namespace
} // namespace bryndle
