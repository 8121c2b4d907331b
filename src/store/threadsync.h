#pragma once

#include "store/threadmessage.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bryndle {

class ThreadCache;
class ThreadDataEvent;

// How a ThreadSync talks to the node and stores.
struct ThreadSyncOptions {
    // Seconds for every connection and wait, and for each whole request.
    int32_t timeout = 600;
    int32_t deadline = 600;
    // A batch is stored when it holds this many records or this many bytes of fields.
    size_t batchRecords = 10000;
    size_t batchBytes = size_t{8} << 20;
    // Older records the node has and the cache lacks are fetched one request each; a node
    // that names more than this fails the fetch instead of exhausting memory.
    size_t maxMissingHeads = 100000;
};

// Brings one thread of the cache up to date from a node: registers a thread the node does not
// hold, asks which records the node has, fetches the new ones by range and the missing older
// ones one by one, writes attachments into the attachment folder and stores the records in
// batches as they arrive, so a fetch holds at most one batch whatever the thread's size.
//
// Everything it works on comes in as parameters (cache, node, folder); it reads no
// process-wide object. A record line that does not parse, or whose attachment is not Base64,
// is skipped and counted; any other failure ends the fetch with its exception. Batches stored
// before a failure stay (the cache refuses duplicates, so the next fetch simply continues);
// the thread's index row is brought up to date only after a fetch that succeeded, so a failed
// one is fetched again from the same point.
class ThreadSync {
public:
    static constexpr int64_t Overlap = 7200;
    static constexpr size_t TripSourceLimit = 512;
    static constexpr size_t TripLength = 11;

    using Options = ThreadSyncOptions;

    // What one fetch did.
    struct Result {
        // The index row was used (flag set, the node holds the thread); otherwise the thread
        // was registered with the node and fetched from 0.
        bool known = false;
        // The short id of the newest record as the index row had it; empty unless known.
        std::string recentId;
        // Lines of the node's head answer, and those fetched one by one.
        size_t heads = 0;
        size_t missing = 0;
        // Records new to the cache, and record lines skipped as malformed.
        size_t stored = 0;
        size_t skipped = 0;
    };

    ThreadSync(ThreadCache& cache, std::string nodeHost, uint16_t nodePort, std::string attachDir,
               Options options = {});
    ThreadSync(const ThreadSync&) = delete;
    ThreadSync& operator=(const ThreadSync&) = delete;
    virtual ~ThreadSync() = default;

    // The whole fetch of a thread (begin, the node's answers, the last batch, the index row).
    virtual Result fetch(const std::string& title);

    // The steps of a fetch, each on the fetch begun last.
    // Starts a fetch of title: counts and batch empty.
    void begin(const std::string& title);
    // One line of the head answer: kept when the record is older than the last update and not
    // in the cache.
    virtual void onHead(ThreadDataEvent& event);
    // One record: turned into a thread record (trip, attachment file) and added to the batch,
    // which is stored when full. A broken attachment skips the record.
    virtual void onRecord(ThreadDataEvent& event);
    // Decodes the Base64 attachment into the folder, named by its digest and suffix; raises
    // ThreadDataException for text that is not Base64, Exception for a file it cannot write.
    virtual void saveAttachment(ThreadMessage& message, const std::string& attach);
    // Stores the batch.
    void flush();
    const Result& result() const { return result_; }
    const Options& options() const { return options_; }

    // The first 11 characters of the Base64 MD5 of the pubkey's first 512 bytes; empty for an
    // empty pubkey.
    static std::string trip(std::string_view pubkey);

private:
    struct Head {
        uint32_t stamp;
        std::string id;
    };

    // Drops what a fetch holds (batch, heads, cached summaries), however it ends.
    void release();

    ThreadCache& cache_;
    std::string nodeHost_;
    uint16_t nodePort_;
    std::string attachDir_;
    Options options_;

    std::string title_;
    Result result_;
    int64_t lastAccess_ = 0;
    std::set<std::pair<uint32_t, std::string>> cached_;
    std::vector<Head> missing_;
    std::vector<ThreadMessage> batch_;
    size_t batchBytes_ = 0;
};

} // namespace bryndle
