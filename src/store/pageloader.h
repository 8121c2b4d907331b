#pragma once

#include "store/schema.h"
#include "store/serverindex.h"
#include "store/threadmessage.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace bryndle {

class DisplayTimer;
class PageBrowser;
class ThreadDataEvent;

// Turns one shingetsu:// location into a shown thread page. For the method "get" a worker
// thread first brings the thread cache up to date from the node; the page is then built from
// the cache on the user-interface thread and handed to the browser.
//
// Ownership: loaders live in shared pointers. The worker and the poller each hold one, so a
// loader outlives its worker whoever lets go last. A disposed browser calls abandon(); from
// then on the loader never touches it, while the worker still finishes and stores its records.
class PageLoader : public std::enable_shared_from_this<PageLoader> {
    struct Key {};

public:
    static constexpr int64_t Overlap = 7200;
    static constexpr size_t TripSourceLimit = 512;
    static constexpr size_t TripLength = 11;
    // What one fetch may hold before it is stored: a node that sends without end fails the
    // fetch instead of exhausting memory.
    static constexpr size_t DefaultMaxHeads = 1000000;
    static constexpr size_t DefaultMaxReceivedBytes = size_t{512} << 20;

    // A page of records: the records, the number of the first, the thread's record count.
    struct Page {
        std::vector<ThreadMessage> records;
        uint32_t first = 0;
        int32_t total = 0;
    };

    // browser and timer may be null for a loader that only fetches or builds documents.
    static std::shared_ptr<PageLoader> create(std::string location, PageBrowser* browser,
                                              DisplayTimer* timer);
    PageLoader(Key, std::string location, PageBrowser* browser, DisplayTimer* timer);
    PageLoader(const PageLoader&) = delete;
    PageLoader& operator=(const PageLoader&) = delete;
    virtual ~PageLoader();

    virtual void saveAttachment(ThreadMessage& message, const std::string& attach);
    virtual void onHead(ThreadDataEvent& event);
    virtual void onRecord(ThreadDataEvent& event);
    // Brings the cache up to date from the node (worker thread). Raises on any failure; the
    // records of a failed fetch are not stored.
    virtual void fetch(const Schema& schema);
    virtual Page collect(const Schema& schema);
    virtual bool isDisposed() const;
    // Parses the location (raising its errors) and gives the browser title, address and a blink.
    virtual void prepare();
    // prepare, then the worker, polled through the display's timer.
    virtual void start();
    // prepare, then show, at once and without the node.
    virtual void loadCached();
    virtual bool isRunning() const;
    virtual void join();
    // The worker's body: fetch, with any failure kept as the error text. Returns 0.
    virtual int run();
    virtual void show();
    virtual void showLoading(const std::string& text);
    virtual void showError(const std::string& text);
    virtual std::string errorMessage() const;
    virtual void tick();
    virtual void setIcon(const std::string& image);

    // The browser has been disposed: nothing is shown any more.
    void abandon() { browser_ = nullptr; }
    // The page document of the parsed location and the thread's record count.
    std::pair<std::string, int32_t> document();

    // The first 11 characters of the Base64 MD5 of the pubkey's first 512 bytes; empty for an
    // empty pubkey.
    static std::string trip(std::string_view pubkey);

    // Seconds for every connection and wait on the node.
    void setTimeout(int32_t seconds) { timeout_ = seconds; }
    void setLimits(size_t maxHeads, size_t maxReceivedBytes) {
        maxHeads_ = maxHeads;
        maxReceivedBytes_ = maxReceivedBytes;
    }
    const std::string& location() const { return location_; }
    const Schema& schema() const { return schema_; }
    const std::string& recentId() const { return recentId_; }

private:
    std::string location_;
    std::string error_;
    Schema schema_;
    PageBrowser* browser_;
    std::thread thread_;
    std::vector<ServerIndex> heads_;
    std::vector<ThreadMessage> received_;
    size_t receivedBytes_ = 0;
    size_t maxHeads_ = DefaultMaxHeads;
    size_t maxReceivedBytes_ = DefaultMaxReceivedBytes;
    std::string recentId_;

    DisplayTimer* timer_;
    int32_t timeout_;
    // The node as configured when the opening was prepared: the interface may change the
    // options while the worker fetches.
    std::string nodeHost_;
    uint16_t nodePort_ = 0;
    bool nodeTaken_ = false;
    std::atomic<bool> running_{false};
};

} // namespace bryndle
