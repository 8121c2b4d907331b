#include "app/cli.h"

#include "config/configuration.h"
#include "foundation/exception.h"
#include "store/pagebrowser.h"
#include "store/pageloader.h"
#include "store/pagerenderer.h"
#include "store/threadcache.h"
#include "store/threadsync.h"

#include <filesystem>
#include <ostream>

namespace bryndle {

namespace {

// The configuration of the current folder with the node of the command line, and the thread
// cache on its cache file, as the program makes them at start.
void prepareStore(const CliContext& context) {
    if (!Configuration::hasInstance()) {
        auto configuration = std::make_unique<Configuration>();
        if (std::filesystem::exists(configuration->configFile()))
            configuration->load();
        Configuration::setInstance(std::move(configuration));
    }
    Configuration::instance().setNodeHost(context.nodeHost);
    Configuration::instance().setNodePort(context.nodePort);
    if (!ThreadCache::hasInstance())
        ThreadCache::setInstance(
            std::make_unique<ThreadCache>(Configuration::instance().threadCacheFile()));
}

// Keeps what the loader shows.
class CapturingBrowser : public PageBrowser {
public:
    void setPageTitle(const std::string&) override {}
    void setAddress(const std::string&) override {}
    void blinkIcon() override {}
    void showDocument(const std::string& text, int32_t) override { document = text; }
    void showError(const std::string& message) override { error = message; }
    void showLoading(const std::string&) override {}
    void setIcon(const std::string&) override {}
    bool isDisposed() const override { return false; }

    std::string document;
    std::string error;
};

bool isGet(const std::string& method) {
    return method.size() == 3 && (method[0] | 0x20) == 'g' && (method[1] | 0x20) == 'e' &&
           (method[2] | 0x20) == 't';
}

// The page document of a location, as a thread page would show it: fetched from the node
// first for the method "get", from the cache alone otherwise.
std::string pageDocument(CliContext& context) {
    prepareStore(context);
    CapturingBrowser browser;
    auto loader = PageLoader::create(context.arguments[0], &browser, nullptr);
    loader->setTimeout(context.timeout);
    if (context.deadline)
        loader->setDeadline(*context.deadline);
    loader->prepare();
    if (isGet(loader->schema().method)) {
        loader->run();
        if (!loader->errorMessage().empty())
            throw Exception(loader->errorMessage());
    }
    loader->show();
    if (!browser.error.empty())
        throw Exception(browser.error);
    return browser.document;
}

// The thread synchronisation on the cache and attachment folder of the current folder's
// configuration; prints what it did.
int fetch(CliContext& context) {
    Configuration configuration;
    // Loading would create the file; without one the defaults hold.
    if (std::filesystem::exists(configuration.configFile()))
        configuration.load();
    ThreadCache cache(configuration.threadCacheFile());
    ThreadSync::Options options;
    options.timeout = context.timeout;
    if (context.deadline)
        options.deadline = *context.deadline;
    ThreadSync sync(cache, context.nodeHost, context.nodePort, configuration.attachDir(), options);
    const std::string& title = context.arguments[0];
    const ThreadSync::Result result = sync.fetch(title);
    context.out << "fetched\t" << title << '\t' << result.stored << " new\t" << result.skipped
                << " skipped\t" << cache.count(title) << " cached\n";
    return 0;
}

int page(CliContext& context) {
    context.out << pageDocument(context);
    return 0;
}

int render(CliContext& context) {
    context.out << PageRenderer::render(pageDocument(context));
    return 0;
}

} // namespace

void addPageCommands(CliCommandTable& table) {
    table.add({"fetch", "TITLE", "brings the thread into the cache from the node", 1, 1, fetch});
    table.add({"page", "LOCATION", "the page document of a shingetsu:// location", 1, 1, page});
    table.add({"render", "LOCATION", "the HTML the theme makes of that page", 1, 1, render});
}

} // namespace bryndle
