#pragma once

#include "store/schema.h"
#include "store/threadmessage.h"
#include "store/threadsync.h"

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
// thread first brings the thread cache up to date from the node (a ThreadSync on the node and
// attachment folder configured when the opening was prepared); the page is then built from
// the cache on the user-interface thread and handed to the browser.
//
// Ownership: loaders live in shared pointers. The worker and the poller each hold one, so a
// loader outlives its worker whoever lets go last. A disposed browser calls abandon(); from
// then on the loader never touches it, while the worker still finishes and stores its records.
class PageLoader : public std::enable_shared_from_this<PageLoader> {
    struct Key {};

public:
    static constexpr int64_t Overlap = ThreadSync::Overlap;
    static constexpr size_t TripSourceLimit = ThreadSync::TripSourceLimit;
    static constexpr size_t TripLength = ThreadSync::TripLength;

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

    // The steps of the synchronisation, on the fetch under way (outside a fetch, a record goes
    // to the cache at once).
    virtual void saveAttachment(ThreadMessage& message, const std::string& attach);
    virtual void onHead(ThreadDataEvent& event);
    virtual void onRecord(ThreadDataEvent& event);
    // Brings the cache up to date from the node (worker thread). Raises on any failure; the
    // batches stored before it stay, the index row is not brought up to date.
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
    void setTimeout(int32_t seconds) { syncOptions_.timeout = seconds; }
    // Seconds for each whole request to the node.
    void setDeadline(int32_t seconds) { syncOptions_.deadline = seconds; }
    void setSyncOptions(const ThreadSync::Options& options) { syncOptions_ = options; }
    const ThreadSync::Options& syncOptions() const { return syncOptions_; }
    const std::string& location() const { return location_; }
    const Schema& schema() const { return schema_; }
    const std::string& recentId() const { return recentId_; }
    // What the last fetch did: records stored, malformed records skipped (for the page's
    // status). Read it once the worker has ended, as the error.
    const ThreadSync::Result& synced() const { return synced_; }

private:
    std::string location_;
    std::string error_;
    Schema schema_;
    PageBrowser* browser_;
    std::thread thread_;
    std::string recentId_;
    ThreadSync::Result synced_;

    // A synchronisation on the node and folder of the opening, and what it reads of the
    // configuration first when the opening was not prepared.
    std::unique_ptr<ThreadSync> makeSync();
    void takeConfiguration();

    DisplayTimer* timer_;
    ThreadSync::Options syncOptions_;
    // The fetch under way (worker thread only).
    std::unique_ptr<ThreadSync> sync_;
    // The node and attachment folder as configured when the opening was prepared: the
    // interface may change the options while the worker fetches.
    std::string nodeHost_;
    uint16_t nodePort_ = 0;
    std::string attachDir_;
    bool configurationTaken_ = false;
    std::atomic<bool> running_{false};
};

} // namespace bryndle
