#include "store/pageloader.h"

#include "config/configuration.h"
#include "foundation/asciitext.h"
#include "foundation/digest.h"
#include "node/nodeaddress.h"
#include "node/serverio.h"
#include "node/threaddataevent.h"
#include "node/threadio.h"
#include "store/displaytimer.h"
#include "store/pagebrowser.h"
#include "store/processcontroler.h"
#include "store/threadcache.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <utility>

namespace bryndle {

namespace {

// Clears a list of records however fetch ends.
struct ReceivedGuard {
    std::vector<ThreadMessage>& received;
    ~ReceivedGuard() {
        for (auto& message : received)
            message.clear();
        received.clear();
    }
};

} // namespace

std::shared_ptr<PageLoader> PageLoader::create(std::string location, PageBrowser* browser,
                                               DisplayTimer* timer) {
    return std::make_shared<PageLoader>(Key{}, std::move(location), browser, timer);
}

PageLoader::PageLoader(Key, std::string location, PageBrowser* browser, DisplayTimer* timer)
    : location_(std::move(location)), browser_(browser), timer_(timer),
      timeout_(ShinGETsuIO::DefaultTimeout) {}

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
    if (pubkey.empty())
        return {};
    const std::string encoded =
        Digest::base64Encode(Digest::md5(pubkey.substr(0, TripSourceLimit)));
    return encoded.substr(0, TripLength);
}

void PageLoader::saveAttachment(ThreadMessage& message, const std::string& attach) {
    const std::string bytes = Digest::base64Decode(attach);
    message.setAttach(bytes);
    const std::string path = message.attachPath();
    std::filesystem::create_directories(Configuration::instance().attachDir());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw Exception("attachment write error");
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        throw Exception("attachment write error");
}

void PageLoader::onHead(ThreadDataEvent& event) {
    if (heads_.size() >= maxHeads_)
        throw Exception("too many records from the node");
    heads_.emplace_back(event.stamp(), event.id(), this);
}

void PageLoader::onRecord(ThreadDataEvent& event) {
    const auto* schema = std::any_cast<const Schema*>(event.tag());
    const auto& fields = event.attributes();
    for (const auto& [key, value] : fields)
        receivedBytes_ += key.size() + value.size();
    if (receivedBytes_ > maxReceivedBytes_)
        throw Exception("too much data from the node");
    auto field = [&](const char* key) -> std::string {
        auto it = fields.find(key);
        return it == fields.end() ? std::string() : it->second;
    };
    ThreadMessage m;
    m.title = schema->title;
    m.mtime = static_cast<int32_t>(event.stamp());
    m.md5 = event.id();
    m.message = field("body");
    m.remove_id = field("remove_id");
    m.remove_stamp = field("remove_stamp");
    m.mail = field("mail");
    m.name = field("name");
    m.pubkey = field("pubkey");
    m.sign = field("sign");
    m.flags = 0;
    try {
        m.trip = trip(m.pubkey);
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
        m.trip.clear();
    }
    auto attach = fields.find("attach");
    if (attach != fields.end()) {
        auto suffix = fields.find("suffix");
        if (suffix != fields.end()) {
            // A suffix that is not a plain short word never reaches a file name.
            m.ext = ThreadMessage::isSafeSuffix(suffix->second) ? suffix->second : std::string();
            saveAttachment(m, attach->second);
        }
    }
    received_.push_back(std::move(m));
}

void PageLoader::fetch(const Schema& schema) {
    ThreadCache& cache = ThreadCache::instance();
    if (!nodeTaken_) {
        nodeHost_ = Configuration::instance().nodeHost();
        nodePort_ = Configuration::instance().nodePort();
    }
    NodeAddress address(nodeHost_, nodePort_);
    ServerIO node(address, timeout_);

    const auto index = cache.index(schema.title);
    heads_.clear();
    received_.clear();
    receivedBytes_ = 0;
    ReceivedGuard guard{received_};

    int64_t lastAccess = 0;
    int64_t since = 0;
    if (index && (index->flag & 1) != 0 && node.have(schema.title)) {
        recentId_ = index->recentId();
        lastAccess = std::max<int64_t>(0, index->atime);
        // Never below 0: an index row without records has PTIME 0.
        since = std::max<int64_t>(0, int64_t{index->ptime} - Overlap);
    } else {
        ThreadIO(address, timeout_).registerThread(schema.title);
    }

    const auto summaries = cache.summariesSince(schema.title, static_cast<int32_t>(since));
    std::set<std::pair<uint32_t, std::string>> cached;
    for (const auto& summary : summaries)
        cached.emplace(static_cast<uint32_t>(summary.mtime), lowerAscii(summary.md5));

    node.head(
        {}, [this](ThreadDataEvent& event) { onHead(event); }, schema.title,
        static_cast<uint32_t>(since));

    std::vector<ServerIndex> missing;
    for (const auto& head : heads_) {
        if (int64_t{head.stamp} < lastAccess && !cached.count({head.stamp, lowerAscii(head.id)}))
            missing.push_back(head);
    }

    const std::any tag = &schema;
    auto record = [this](ThreadDataEvent& event) { onRecord(event); };
    node.getRange(tag, record, schema.title, static_cast<uint32_t>(lastAccess));
    for (const auto& head : missing)
        node.getRecord(tag, record, schema.title, head.stamp, head.id);

    cache.insertAll(received_);
    // The thread table and the next fetch read the index row.
    cache.updateIndex(schema.title);
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
    nodeHost_ = Configuration::instance().nodeHost();
    nodePort_ = Configuration::instance().nodePort();
    nodeTaken_ = true;
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
