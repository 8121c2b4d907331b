#include "store/pageloaderregistry.h"

#include "config/configuration.h"
#include "node/threadfile.h"
#include "store/fakenode.h"
#include "store/loaderfakes.h"
#include "store/pageloader.h"
#include "store/threadcache.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <future>

using namespace bryndle;
using namespace bryndle::test;

namespace {

class PageLoaderRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto configuration = std::make_unique<Configuration>(dir_.file("config.db"));
        configuration->setNodeHost("127.0.0.1");
        configuration->setNodePort(node_.port());
        configuration->setAttachDir(dir_.file("attach"));
        Configuration::setInstance(std::move(configuration));
        ThreadCache::setInstance(std::make_unique<ThreadCache>(dir_.file("cache.db")));
        node_.add(threadFileName("t"), {1700000000, std::string(32, 'a'), "body:x"});
    }

    TempDir dir_;
    FakeNode node_;
    FakeBrowser browser_;
    FakeTimer timer_;
};

} // namespace

// At exit: nothing is shown any more, and every worker has stored its records before the cache
// goes.
TEST_F(PageLoaderRegistryTest, AbandonsAndJoinsTheLoadersStillRunning) {
    PageLoaderRegistry registry;
    node_.closeGate();
    auto loader =
        PageLoader::create("shingetsu://" + threadFileName("t") + "/get/", &browser_, &timer_);
    registry.add(loader);
    registry.add(PageLoader::create("shingetsu://thread_41/cache/", nullptr, nullptr));
    EXPECT_EQ(registry.liveCount(), 1u);
    loader->start();
    node_.waitUntilHeldAtGate();
    registry.abandonAll();
    EXPECT_TRUE(loader->isDisposed());
    auto joined = std::async(std::launch::async, [&] { registry.joinAll(); });
    EXPECT_EQ(joined.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    node_.openGate();
    joined.get();
    EXPECT_FALSE(loader->isRunning());
    EXPECT_EQ(ThreadCache::instance().count("t"), 1);
    timer_.pumpUntilIdle();
    EXPECT_EQ(browser_.shown, 0);
    loader.reset();
    EXPECT_EQ(registry.liveCount(), 0u);
}
