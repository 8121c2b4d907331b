#include "config/configuration.h"
#include "foundation/conv.h"
#include "foundation/digest.h"
#include "foundation/sqlite.h"
#include "node/threadfile.h"
#include "store/pageloader.h"
#include "store/processcontroler.h"
#include "store/threadcache.h"
#include "support/scriptedserver.h"
#include "support/tempdir.h"

#include "fakenode.h"
#include "loaderfakes.h"
#include "xmlquery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

using namespace bryndle;
using bryndle::test::FakeBrowser;
using bryndle::test::FakeNode;
using bryndle::test::FakeTimer;
using bryndle::test::TempDir;
using bryndle::test::XmlQuery;

namespace {

std::string id(int n) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%08x%024x", 0xabc00000 + n, n);
    return buffer;
}

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

FakeNode::Record nodeRecord(uint32_t stamp, int n, std::string fields = {}) {
    if (fields.empty())
        fields = "body:record " + std::to_string(n) + "<>name:writer" + std::to_string(n);
    return {stamp, id(n), std::move(fields)};
}

ThreadMessage cached(const std::string& title, int32_t stamp, std::string md5) {
    ThreadMessage m;
    m.title = title;
    m.mtime = stamp;
    m.md5 = std::move(md5);
    m.message = "cached";
    return m;
}

std::string readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PageLoaderTest : public ::testing::Test {
protected:
    static constexpr const char* Title = "a b?c";

    TempDir dir;
    FakeNode node;
    FakeTimer timer;
    FakeBrowser browser;
    std::string file = threadFileName(Title);

    void SetUp() override {
        auto configuration = std::make_unique<Configuration>(dir.file("config.db"));
        configuration->setNodeHost("127.0.0.1");
        configuration->setNodePort(node.port());
        configuration->setAttachDir(dir.file("data/attach"));
        configuration->setThemeRoot(dir.file("theme"));
        Configuration::setInstance(std::move(configuration));
        ThreadCache::setInstance(std::make_unique<ThreadCache>(dir.file("cache.db")));
    }
    void TearDown() override {
        ThreadCache::setInstance(nullptr);
        Configuration::setInstance(nullptr);
    }

    ThreadCache& cache() { return ThreadCache::instance(); }

    std::string location(const std::string& method = "get", const std::string& query = "") {
        Schema s(Title);
        s.method = method;
        return s.toLocation() + query;
    }

    // Opens a location as the thread page does for "get" and lets the display run until the
    // page is shown.
    std::shared_ptr<PageLoader> open(const std::string& where) {
        auto loader = PageLoader::create(where, &browser, &timer);
        loader->setTimeout(20);
        loader->start();
        timer.pumpUntilIdle();
        return loader;
    }

    std::vector<std::string> path(std::initializer_list<std::string> parts) { return parts; }
};

} // namespace

TEST_F(PageLoaderTest, AnUnknownThreadIsRegisteredAndFetchedWholeFromZero) {
    node.add(file, nodeRecord(100, 1));
    node.add(file, nodeRecord(300, 3));
    node.add(file, nodeRecord(200, 2));

    auto loader = open(location());

    EXPECT_EQ(node.targets(), path({"/thread.cgi/a%20b%3Fc", "/server.cgi/head/" + file + "/0-",
                                    "/server.cgi/get/" + file + "/0-"}));
    for (const auto& host : node.hostFields())
        EXPECT_EQ(host, "127.0.0.1:" + std::to_string(node.port()));
    EXPECT_EQ(cache().count(Title), 3);
    auto messages = cache().messages(Title, 0, ThreadCache::All);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1].md5, id(2));
    EXPECT_EQ(messages[1].message, "record 2");
    EXPECT_EQ(messages[1].name, "writer2");
    EXPECT_EQ(messages[1].flags, 0u);

    // The index row is brought up to date, so the thread table and the next fetch see it.
    auto index = cache().index(Title);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->ptime, 300);
    EXPECT_EQ(index->phash, id(3));
    EXPECT_EQ(index->count, 3);
    EXPECT_EQ(index->flag & 1, 1);

    EXPECT_EQ(browser.calls.front(), std::string("title ") + Title);
    EXPECT_EQ(browser.calls[1], "address " + location());
    EXPECT_EQ(browser.icon, "saku");
    EXPECT_EQ(browser.shown, 1);
    EXPECT_EQ(browser.total, 3);
    EXPECT_TRUE(loader->recentId().empty());
    XmlQuery doc(browser.document);
    ASSERT_TRUE(doc.ok());
    EXPECT_EQ(doc.value("string(//TITLE)"), Title);
    EXPECT_EQ(doc.all("//ITEM/TIMESTAMP"), path({"100", "200", "300"}));
    EXPECT_EQ(doc.value("string(//RECENT_ID)"), "");
    for (int32_t delay : timer.delays)
        EXPECT_EQ(delay, ProcessControler::PollInterval);
}

TEST_F(PageLoaderTest, AKnownThreadAsksFromTheOverlapAndFetchesOnlyMissingOlderHeads) {
    constexpr int32_t A = 1000000; // last index update
    constexpr int32_t P = 990000;  // newest cached record
    cache().setClock([] { return std::time_t{A + 57600}; });
    cache().insertAll({cached(Title, 980000, id(1)), cached(Title, 985000, upper(id(2))),
                       cached(Title, P, id(4))});
    cache().updateIndex(Title);

    node.add(file, nodeRecord(980000, 1));
    node.add(file, nodeRecord(985000, 2));  // cached, id in other case
    node.add(file, nodeRecord(985000, 22)); // same stamp, other id: missing
    node.add(file, nodeRecord(986000, 3));  // missing
    node.add(file, nodeRecord(P, 4));       // cached
    node.add(file, nodeRecord(995000, 5));  // missing
    node.add(file, nodeRecord(A, 7));       // at A: comes with the range
    node.add(file, nodeRecord(A + 500, 6)); // after A: comes with the range

    auto loader = open(location());

    const std::string server = "/server.cgi/";
    EXPECT_EQ(node.targets(), path({server + "have/" + file, server + "head/" + file + "/982800-",
                                    server + "get/" + file + "/1000000-",
                                    server + "get/" + file + "/985000/" + id(22),
                                    server + "get/" + file + "/986000/" + id(3),
                                    server + "get/" + file + "/995000/" + id(5)}));
    EXPECT_EQ(cache().count(Title), 8);
    auto index = cache().index(Title);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->ptime, A + 500);
    EXPECT_EQ(index->count, 8);
    EXPECT_EQ(loader->recentId(), id(4).substr(0, 8));
    XmlQuery doc(browser.document);
    EXPECT_EQ(doc.value("string(//RECENT_ID)"), id(4).substr(0, 8));
    EXPECT_EQ(browser.total, 8);
}

TEST_F(PageLoaderTest, TheOverlapNeverReachesBelowZero) {
    // An index row without records (PTIME 0), then the node has records.
    constexpr int32_t A = 5000;
    cache().setClock([] { return std::time_t{A + 57600}; });
    cache().updateIndex(Title);
    node.add(file, nodeRecord(100, 1));
    node.add(file, nodeRecord(A + 1, 2));

    open(location());

    const std::string server = "/server.cgi/";
    EXPECT_EQ(node.targets(),
              path({server + "have/" + file, server + "head/" + file + "/0-",
                    server + "get/" + file + "/5000-", server + "get/" + file + "/100/" + id(1)}));
    EXPECT_EQ(cache().count(Title), 2);
}

TEST_F(PageLoaderTest, AThreadTheNodeLacksOrWhoseFlagIsClearIsRegisteredAgain) {
    cache().updateIndex(Title);
    open(location()); // the node answers NO: it has no records
    EXPECT_EQ(node.targets(),
              path({"/server.cgi/have/" + file, "/thread.cgi/a%20b%3Fc",
                    "/server.cgi/head/" + file + "/0-", "/server.cgi/get/" + file + "/0-"}));

    node.add(file, nodeRecord(100, 1));
    cache().clearFlag(Title);
    node.clearTargets();
    open(location()); // without the flag the node is not even asked
    EXPECT_EQ(node.targets(), path({"/thread.cgi/a%20b%3Fc", "/server.cgi/head/" + file + "/0-",
                                    "/server.cgi/get/" + file + "/0-"}));
    EXPECT_EQ(cache().count(Title), 1);
}

TEST_F(PageLoaderTest, AttachmentsAreFilesNamedByDigestAndASafeSuffix) {
    const std::string image = std::string("\x89PNG\r\n\x1a\n\0\xff", 10) + "pixels";
    const std::string other = "plain bytes";
    const std::string b64Image = Digest::base64Encode(image);
    const std::string b64Other = Digest::base64Encode(other);
    node.add(file, nodeRecord(1, 1, "body:a<>attach:" + b64Image + "<>suffix:png"));
    node.add(file, nodeRecord(2, 2, "body:b<>attach:" + b64Image + "<>suffix:png"));
    node.add(file, nodeRecord(3, 3, "body:c<>attach:" + b64Other + "<>suffix:../../evil"));
    node.add(file, nodeRecord(4, 4, "body:d<>attach:" + b64Other));
    node.add(file, nodeRecord(5, 5, "body:e<>suffix:jpg"));

    open(location());
    ASSERT_EQ(browser.error, "");

    const std::filesystem::path folder = dir.file("data/attach");
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.insert(entry.path().filename().string());
    EXPECT_EQ(files,
              (std::set<std::string>{Digest::md5Hex(image) + ".png", Digest::md5Hex(other)}));
    EXPECT_EQ(readAll(folder / (Digest::md5Hex(image) + ".png")), image);
    EXPECT_EQ(readAll(folder / Digest::md5Hex(other)), other);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find("evil"), std::string::npos);

    auto messages = cache().messages(Title, 0, ThreadCache::All);
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[0].attach, Digest::md5Hex(image));
    EXPECT_EQ(messages[0].ext, "png");
    EXPECT_EQ(messages[1].attach, Digest::md5Hex(image));
    EXPECT_EQ(messages[2].attach, Digest::md5Hex(other));
    EXPECT_EQ(messages[2].ext, "");
    EXPECT_EQ(messages[3].attach, "");
    EXPECT_EQ(messages[3].ext, "");
    EXPECT_EQ(messages[4].attach, "");
    EXPECT_EQ(messages[4].ext, "");

    XmlQuery doc(browser.document);
    EXPECT_EQ(doc.all("//ITEM/ATTACH_PATH"),
              path({(folder / (Digest::md5Hex(image) + ".png")).string(),
                    (folder / (Digest::md5Hex(image) + ".png")).string(),
                    (folder / Digest::md5Hex(other)).string(), "", ""}));
}

TEST_F(PageLoaderTest, ABrokenRecordInTheMiddleIsSkippedAndCounted) {
    // One record of a thousand has an attachment that is not Base64, and one line of the
    // answer has a stamp that is not a number.
    for (int n = 1; n <= 1000; ++n)
        node.add(file, nodeRecord(static_cast<uint32_t>(n), n,
                                  n == 500 ? "body:a<>attach:%%%not base64%%%<>suffix:png" : ""));
    auto loader = open(location());
    EXPECT_EQ(browser.error, "");
    EXPECT_EQ(browser.shown, 1);
    EXPECT_EQ(cache().count(Title), 999);
    EXPECT_EQ(loader->synced().stored, 999u);
    EXPECT_EQ(loader->synced().skipped, 1u);
    EXPECT_FALSE(cache().messageByHashPrefix(Title, id(500)));
    EXPECT_EQ(cache().index(Title)->count, 999);

    Schema other("other");
    other.method = "get";
    node.add(threadFileName("other"), nodeRecord(1, 1));
    node.add(threadFileName("other"), nodeRecord(2, 2));
    node.setRangeTail("12x4<>" + id(3) + "<>body:bad stamp\n");
    auto again = open(other.toLocation());
    EXPECT_EQ(browser.error, "");
    EXPECT_EQ(again->synced().stored, 2u);
    EXPECT_EQ(again->synced().skipped, 1u);
    EXPECT_EQ(cache().count("other"), 2);
}

TEST_F(PageLoaderTest, TripsComeFromTheFirst512BytesOfThePubkey) {
    std::string pubkey;
    for (int i = 0; i < 600; ++i)
        pubkey += static_cast<char>('A' + i % 26);
    node.add(file, nodeRecord(1, 1, "body:a<>pubkey:" + pubkey + "<>sign:s"));
    node.add(file, nodeRecord(2, 2, "body:b<>pubkey:pubkey-1"));
    node.add(file, nodeRecord(3, 3, "body:c"));

    open(location());

    auto messages = cache().messages(Title, 0, ThreadCache::All);
    ASSERT_EQ(messages.size(), 3u);
    // Known answers: Base64 of the MD5 of the first 512 bytes, cut to 11 characters. The whole
    // 600 bytes would give zgIWnyM37UM.
    EXPECT_EQ(messages[0].trip, "nAcOB0dmp6O");
    EXPECT_EQ(messages[1].trip, "JrAhRvsirwR");
    // A record without a pubkey is unsigned: no trip.
    EXPECT_EQ(messages[2].trip, "");
    EXPECT_EQ(PageLoader::trip(pubkey), PageLoader::trip(pubkey.substr(0, 512)));
}

TEST_F(PageLoaderTest, AnErrorStatusShowsTheErrorAndStoresNothing) {
    // A record line in an answer with status 500 is no record.
    node.add(file, nodeRecord(1, 1));
    node.fail("get", 500, nodeRecord(2, 2).line() + "\n");

    open(location());

    EXPECT_EQ(browser.error, "HTTP status 500 Internal Server Error");
    EXPECT_EQ(browser.icon, "error");
    EXPECT_EQ(browser.shown, 1);
    EXPECT_EQ(browser.document, "");
    EXPECT_EQ(cache().count(Title), 0);
    EXPECT_FALSE(cache().index(Title));
}

TEST_F(PageLoaderTest, AnUnavailableNodeLeavesTheIndexRowAsItWas) {
    cache().setClock([] { return std::time_t{1000000 + 57600}; });
    cache().insertAll({cached(Title, 900000, id(1)), cached(Title, 950000, id(2))});
    cache().updateIndex(Title);
    const ThreadIndex before = *cache().index(Title);
    node.add(file, nodeRecord(900000, 1));
    node.add(file, nodeRecord(1000500, 3));
    // Empty answers with 503: not "no records".
    node.fail("head", 503, "");
    node.fail("get", 503, "");
    cache().setClock([] { return std::time_t{2000000 + 57600}; });

    open(location());

    EXPECT_EQ(browser.error, "HTTP status 503 Service Unavailable");
    const ThreadIndex after = *cache().index(Title);
    EXPECT_EQ(after.atime, before.atime);
    EXPECT_EQ(after.ptime, before.ptime);
    EXPECT_EQ(after.count, 2);
    EXPECT_EQ(cache().count(Title), 2);
}

TEST_F(PageLoaderTest, TooManyMissingOlderRecordsFailTheFetch) {
    // A known thread whose node names five older records the cache lacks.
    constexpr int32_t A = 1000000;
    cache().setClock([] { return std::time_t{A + 57600}; });
    cache().insertAll({cached(Title, A - 100, id(100))});
    cache().updateIndex(Title);
    node.add(file, nodeRecord(A - 100, 100));
    for (int n = 1; n <= 5; ++n)
        node.add(file, nodeRecord(static_cast<uint32_t>(A - 1000 + n), n));

    auto fetch = [&](size_t maxMissing) {
        ThreadSync::Options options;
        options.timeout = 20;
        options.maxMissingHeads = maxMissing;
        auto loader = PageLoader::create(location(), &browser, &timer);
        loader->setSyncOptions(options);
        loader->start();
        timer.pumpUntilIdle();
        return loader;
    };
    fetch(4);
    EXPECT_EQ(browser.error, "too many records from the node");
    EXPECT_EQ(cache().count(Title), 1);

    // Within the bound the same records are fetched one by one.
    auto enough = fetch(5);
    EXPECT_EQ(enough->errorMessage(), "");
    EXPECT_EQ(enough->synced().missing, 5u);
    EXPECT_EQ(cache().count(Title), 6);
}

TEST_F(PageLoaderTest, ANodeThatIsNotThereShowsTheConnectionError) {
    uint16_t closedPort = 0;
    {
        FakeNode gone;
        closedPort = gone.port();
    }
    Configuration::instance().setNodePort(closedPort);
    open(location());
    EXPECT_NE(browser.error.find("Unable to connect socket"), std::string::npos) << browser.error;
    EXPECT_EQ(browser.icon, "error");
    EXPECT_FALSE(cache().index(Title));
}

TEST_F(PageLoaderTest, TheNodeIsTheOneConfiguredWhenThePageWasOpened) {
    node.add(file, nodeRecord(100, 1));
    test::ClosedPort closed;

    // The options change between opening and fetching: the fetch still goes to the node of
    // the opening, and the worker never reads the configuration the interface is writing.
    auto loader = PageLoader::create(location(), &browser, &timer);
    loader->setTimeout(20);
    loader->prepare();
    Configuration::instance().setNodePort(closed.port());
    loader->run();
    EXPECT_EQ(loader->errorMessage(), "");
    EXPECT_EQ(cache().count(Title), 1);

    Configuration::instance().setNodePort(node.port());
    node.add(file, nodeRecord(200, 2));
    auto threaded = PageLoader::create(location(), &browser, &timer);
    threaded->setTimeout(20);
    threaded->start();
    Configuration::instance().setNodePort(closed.port());
    timer.pumpUntilIdle();
    EXPECT_EQ(threaded->errorMessage(), "");
    EXPECT_EQ(cache().count(Title), 2);
}

TEST_F(PageLoaderTest, BlinksOnTheFirstAndEveryTenthPollWhileFetching) {
    node.add(file, nodeRecord(1, 1));
    node.closeGate();
    auto loader = PageLoader::create(location(), &browser, &timer);
    loader->setTimeout(20);
    loader->start();
    EXPECT_EQ(browser.blinks, 1);
    node.waitUntilHeldAtGate();
    for (int poll = 0; poll < 21; ++poll)
        ASSERT_TRUE(timer.pumpOne());
    EXPECT_EQ(browser.blinks, 4); // prepare, then polls 1, 11 and 21
    EXPECT_EQ(browser.shown, 0);
    EXPECT_TRUE(loader->isRunning());
    EXPECT_THROW(loader->start(), std::logic_error);
    node.openGate();
    timer.pumpUntilIdle();
    EXPECT_FALSE(loader->isRunning());
    EXPECT_EQ(browser.shown, 1);
    EXPECT_EQ(browser.total, 1);
}

TEST_F(PageLoaderTest, AClosedTabShowsNothingWhileTheRecordsStillReachTheCache) {
    for (int n = 1; n <= 5; ++n)
        node.add(file, nodeRecord(static_cast<uint32_t>(n), n));
    node.closeGate();
    auto tab = std::make_unique<FakeBrowser>();
    auto loader = PageLoader::create(location(), tab.get(), &timer);
    loader->setTimeout(20);
    loader->start();
    node.waitUntilHeldAtGate();
    ASSERT_TRUE(timer.pumpOne());

    // The tab closes: polling stops at the next poll and nothing is shown.
    tab->disposed = true;
    timer.pumpUntilIdle();
    EXPECT_TRUE(timer.tasks.empty());
    EXPECT_EQ(tab->shown, 0);
    // The control goes away and lets go of the loader while the worker is still fetching.
    loader->abandon();
    tab.reset();
    std::weak_ptr<PageLoader> watch = loader;
    loader.reset();
    ASSERT_FALSE(watch.expired());

    node.openGate();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!watch.expired() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(watch.expired()) << "the worker never ended";
    EXPECT_EQ(cache().count(Title), 5);
    ASSERT_TRUE(cache().index(Title));
    EXPECT_EQ(cache().index(Title)->count, 5);
}

TEST_F(PageLoaderTest, TheCacheMethodNeverContactsTheNode) {
    cache().insertAll({cached(Title, 10, id(1)), cached(Title, 20, id(2))});
    auto loader = PageLoader::create(location("cache"), &browser, nullptr);
    loader->loadCached();
    EXPECT_TRUE(node.targets().empty());
    EXPECT_EQ(browser.shown, 1);
    EXPECT_EQ(browser.total, 2);
    XmlQuery doc(browser.document);
    EXPECT_EQ(doc.value("string(//METHOD)"), "cache");
    EXPECT_EQ(doc.count("//ITEM"), 2u);
    EXPECT_NE(browser.document.find("/theme/terminal/cache.xsl"), std::string::npos);
}

TEST_F(PageLoaderTest, PagesFollowTheirMode) {
    std::vector<ThreadMessage> records;
    for (int n = 0; n < 100; ++n)
        records.push_back(cached(Title, 1000 + n, id(n)));
    cache().insertAll(records);

    auto page = [&](const std::string& where) {
        FakeBrowser shown;
        PageLoader::create(where, &shown, nullptr)->loadCached();
        EXPECT_EQ(shown.shown, 1) << where;
        return std::make_pair(shown.document, shown.total);
    };
    auto numbers = [](const XmlQuery& doc) { return doc.all("//ITEM/NO"); };
    auto range = [](int from, int to) {
        std::vector<std::string> out;
        for (int n = from; n <= to; ++n)
            out.push_back(std::to_string(n));
        return out;
    };

    {
        auto [text, total] = page(location("cache", "?mode=1&items=30"));
        XmlQuery doc(text);
        EXPECT_EQ(numbers(doc), range(70, 99));
        EXPECT_EQ(doc.value("string(//BEGINNO)"), "70");
        EXPECT_EQ(doc.value("string(//ENDNO)"), "99");
        EXPECT_EQ(total, 100);
        // Records come in stamp order; number n is the n-th oldest.
        EXPECT_EQ(doc.value("string(//ITEM[1]/TIMESTAMP)"), "1070");
    }
    {
        auto [text, total] = page(location("cache", "?mode=2&items=30&page=1"));
        EXPECT_EQ(numbers(XmlQuery(text)), range(30, 59));
    }
    {
        auto [text, total] = page(location("cache", "?mode=2&items=30&page=4"));
        XmlQuery doc(text);
        EXPECT_EQ(doc.count("//ITEM"), 0u);
        EXPECT_EQ(doc.value("string(//BEGINNO)"), "120");
        EXPECT_EQ(doc.value("string(//ENDNO)"), "120");
        EXPECT_EQ(doc.value("string(//COUNT)"), "0");
    }
    {
        // items × page is past 32 bits: the page is empty instead of wrapping to the start.
        auto [text, total] = page(location("cache", "?mode=2&items=2147483648&page=2"));
        EXPECT_EQ(XmlQuery(text).count("//ITEM"), 0u);
    }
    {
        auto [text, total] = page(location("cache"));
        EXPECT_EQ(numbers(XmlQuery(text)), range(0, 99));
    }
    {
        Schema target(Title);
        target.method = "cache";
        target.target = upper(id(42).substr(0, 8));
        auto [text, total] = page(target.toLocation() + "?mode=1&items=30");
        XmlQuery doc(text);
        EXPECT_EQ(doc.all("//ITEM/HASH"), path({id(42)}));
        EXPECT_EQ(numbers(doc), path({"0"}));
        EXPECT_EQ(total, 100);

        target.target = "ffffffff";
        auto [none, ignored] = page(target.toLocation());
        EXPECT_EQ(XmlQuery(none).count("//ITEM"), 0u);
    }
}

TEST_F(PageLoaderTest, ThirtyLatestOfTenRecordsShowsAllTen) {
    std::vector<ThreadMessage> records;
    for (int n = 0; n < 10; ++n)
        records.push_back(cached(Title, 1000 + n, id(n)));
    cache().insertAll(records);
    PageLoader::create(location("cache", "?mode=1&items=30"), &browser, nullptr)->loadCached();
    XmlQuery doc(browser.document);
    EXPECT_EQ(doc.value("string(//BEGINNO)"), "0");
    EXPECT_EQ(doc.count("//ITEM"), 10u);
    EXPECT_EQ(doc.value("string(//ENDNO)"), "9");
}

TEST_F(PageLoaderTest, ALocationThatDoesNotParseReachesTheCaller) {
    auto bad = PageLoader::create("shingetsu://thread_41", &browser, &timer);
    EXPECT_THROW(bad->start(), SchemaException);
    EXPECT_THROW(PageLoader::create("shingetsu://thread_4/get/", &browser, &timer)->loadCached(),
                 ConvError);
    EXPECT_TRUE(browser.calls.empty());
    EXPECT_TRUE(timer.tasks.empty());
    EXPECT_TRUE(node.targets().empty());
}

TEST_F(PageLoaderTest, ACacheFailureWhileShowingBecomesTheErrorPage) {
    {
        SQLite db(dir.file("cache.db"));
        db.exec("DROP TABLE THREAD_CACHE");
    }
    PageLoader::create(location("cache"), &browser, nullptr)->loadCached();
    EXPECT_EQ(browser.icon, "error");
    EXPECT_NE(browser.error.find("THREAD_CACHE"), std::string::npos) << browser.error;
}
