#include "store/pageloader.h"

#include "config/configuration.h"
#include "node/threaddataevent.h"
#include "store/displaytimer.h"
#include "store/pagebrowser.h"
#include "store/processcontroler.h"
#include "store/threadcache.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace bryndle {

std::shared_ptr<PageLoader> PageLoader::create(std::string location, PageBrowser* browser,
                                               DisplayTimer* timer) {
    return std::make_shared<PageLoader>(Key{}, std::move(location), browser, timer);
}

PageLoader::PageLoader(Key, std::string location, PageBrowser* browser, DisplayTimer* timer)
    : location_(std::move(location)), browser_(browser), timer_(timer) {}

PageLoader::~PageLoader() {
    if (!thread_.joinable())
        return;
    // The worker itself may drop the last reference on its way out.
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

std::string PageLoader::trip(std::string_view pubkey) {
    return ThreadSync::trip(pubkey);
}

void PageLoader::takeConfiguration() {
    const Configuration& configuration = Configuration::instance();
    nodeHost_ = configuration.nodeHost();
    nodePort_ = configuration.nodePort();
    attachDir_ = configuration.attachDir();
    configurationTaken_ = true;
}

std::unique_ptr<ThreadSync> PageLoader::makeSync() {
    if (!configurationTaken_)
        takeConfiguration();
    return std::make_unique<ThreadSync>(ThreadCache::instance(), nodeHost_, nodePort_, attachDir_,
                                        syncOptions_);
}

void PageLoader::saveAttachment(ThreadMessage& message, const std::string& attach) {
    if (sync_)
        sync_->saveAttachment(message, attach);
    else
        makeSync()->saveAttachment(message, attach);
}

void PageLoader::onHead(ThreadDataEvent& event) {
    if (sync_)
        sync_->onHead(event);
}

void PageLoader::onRecord(ThreadDataEvent& event) {
    if (sync_) {
        sync_->onRecord(event);
        return;
    }
    auto sync = makeSync();
    sync->begin(schema_.title);
    sync->onRecord(event);
    sync->flush();
}

void PageLoader::fetch(const Schema& schema) {
    sync_ = makeSync();
    // What it did is kept also when it failed half-way.
    auto keep = [this] {
        synced_ = sync_->result();
        recentId_ = synced_.recentId;
        sync_.reset();
    };
    try {
        sync_->fetch(schema.title);
    } catch (...) {
        keep();
        throw;
    }
    keep();
}

PageLoader::Page PageLoader::collect(const Schema& schema) {
    ThreadCache& cache = ThreadCache::instance();
    Page page;
    page.total = cache.count(schema.title);
    const uint32_t total = static_cast<uint32_t>(std::max<int32_t>(0, page.total));
    if (!schema.target.empty()) {
        if (auto message = cache.messageByHashPrefix(schema.title, schema.target))
            page.records.push_back(std::move(*message));
        return page;
    }
    switch (schema.mode) {
    case 1:
        page.first = total < schema.items ? 0 : total - schema.items;
        page.records = cache.messages(schema.title, page.first, schema.items);
        break;
    case 2: {
        // Saturates instead of wrapping: a page far past the end shows nothing.
        const uint64_t first = uint64_t{schema.items} * schema.page;
        page.first = static_cast<uint32_t>(std::min<uint64_t>(first, ThreadCache::All));
        page.records = cache.messages(schema.title, page.first, schema.items);
        break;
    }
    default:
        page.first = 0;
        page.records = cache.messages(schema.title, 0, ThreadCache::All);
        break;
    }
    return page;
}

bool PageLoader::isDisposed() const {
    return browser_ == nullptr || browser_->isDisposed();
}

void PageLoader::prepare() {
    schema_ = Schema::parse(location_);
    takeConfiguration();
    if (isDisposed())
        return;
    browser_->setPageTitle(schema_.title);
    browser_->setAddress(location_);
    browser_->blinkIcon();
}

void PageLoader::start() {
    if (!timer_)
        throw std::logic_error("a page loader started without a display timer");
    if (thread_.joinable() || isRunning())
        throw std::logic_error("a page loader serves one opening only");
    prepare();
    running_.store(true, std::memory_order_release);
    try {
        thread_ = std::thread([self = shared_from_this()] { self->run(); });
    } catch (...) {
        running_.store(false, std::memory_order_release);
        throw;
    }
    std::make_shared<ProcessControler>(shared_from_this(), *timer_)->schedule();
}

void PageLoader::loadCached() {
    prepare();
    show();
}

bool PageLoader::isRunning() const {
    return running_.load(std::memory_order_acquire);
}

void PageLoader::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

int PageLoader::run() {
    try {
        fetch(schema_);
    } catch (const std::exception& e) {
        error_ = e.what();
        if (error_.empty())
            error_ = "fetch error";
    } catch (...) {
        error_ = "fetch error";
    }
    running_.store(false, std::memory_order_release);
    return 0;
}

std::pair<std::string, int32_t> PageLoader::document() {
    Page page = collect(schema_);
    std::string text = ThreadMessage::toDocument(schema_, Configuration::instance().themeDir(),
                                                 page.records, page.first, recentId_);
    for (auto& record : page.records)
        record.clear();
    return {std::move(text), page.total};
}

void PageLoader::show() {
    if (isDisposed())
        return;
    try {
        setIcon("saku");
        auto [text, total] = document();
        browser_->showDocument(text, total);
    } catch (const std::exception& e) {
        // A cache or document failure becomes the error page instead of escaping to the
        // display's event loop.
        showError(e.what());
    }
}

void PageLoader::showLoading(const std::string& text) {
    if (!isDisposed())
        browser_->showLoading(text);
}

void PageLoader::showError(const std::string& text) {
    if (isDisposed())
        return;
    setIcon("error");
    browser_->showError(text);
}

std::string PageLoader::errorMessage() const {
    return error_;
}

void PageLoader::tick() {
    if (!isDisposed())
        browser_->blinkIcon();
}

void PageLoader::setIcon(const std::string& image) {
    if (!isDisposed())
        browser_->setIcon(image);
}

} // namespace bryndle
