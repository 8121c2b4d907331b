#include "store/threadsync.h"

#include "foundation/asciitext.h"
#include "foundation/digest.h"
#include "node/nodeaddress.h"
#include "node/serverio.h"
#include "node/threaddataevent.h"
#include "node/threadio.h"
#include "store/threadcache.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace bryndle {

namespace {

// Runs release() however fetch ends.
template <class F> struct AtExit {
    F f;
    ~AtExit() { f(); }
};
template <class F> AtExit(F) -> AtExit<F>;

} // namespace

ThreadSync::ThreadSync(ThreadCache& cache, std::string nodeHost, uint16_t nodePort,
                       std::string attachDir, Options options)
    : cache_(cache), nodeHost_(std::move(nodeHost)), nodePort_(nodePort),
      attachDir_(std::move(attachDir)), options_(options) {}

std::string ThreadSync::trip(std::string_view pubkey) {
    if (pubkey.empty())
        return {};
    const std::string encoded =
        Digest::base64Encode(Digest::md5(pubkey.substr(0, TripSourceLimit)));
    return encoded.substr(0, TripLength);
}

void ThreadSync::begin(const std::string& title) {
    release();
    title_ = title;
    result_ = {};
    lastAccess_ = 0;
}

void ThreadSync::release() {
    for (auto& message : batch_)
        message.clear();
    batch_.clear();
    batch_.shrink_to_fit();
    batchBytes_ = 0;
    cached_.clear();
    missing_.clear();
    missing_.shrink_to_fit();
}

ThreadSync::Result ThreadSync::fetch(const std::string& title) {
    begin(title);
    AtExit done{[this] { release(); }};
    NodeAddress address(nodeHost_, nodePort_);
    ServerIO node(address, options_.timeout);
    node.setDeadline(options_.deadline);

    const auto index = cache_.index(title);
    int64_t since = 0;
    if (index && (index->flag & 1) != 0 && node.have(title)) {
        result_.known = true;
        result_.recentId = index->recentId();
        lastAccess_ = std::max<int64_t>(0, index->atime);
        // Never below 0: an index row without records has PTIME 0.
        since = std::max<int64_t>(0, int64_t{index->ptime} - Overlap);
    } else {
        ThreadIO registration(address, options_.timeout);
        registration.setDeadline(options_.deadline);
        registration.registerThread(title);
    }

    for (const auto& summary : cache_.summariesSince(title, static_cast<int32_t>(since)))
        cached_.emplace(static_cast<uint32_t>(summary.mtime), lowerAscii(summary.md5));
    // A broken head line names no record that could be asked for: passed over.
    node.setMalformedLineCallback([](std::string_view, const std::exception&) {});
    node.head(
        {}, [this](ThreadDataEvent& event) { onHead(event); }, title, static_cast<uint32_t>(since));
    cached_.clear();

    node.setMalformedLineCallback(
        [this](std::string_view, const std::exception&) { ++result_.skipped; });
    auto record = [this](ThreadDataEvent& event) { onRecord(event); };
    node.getRange({}, record, title, static_cast<uint32_t>(lastAccess_));
    result_.missing = missing_.size();
    for (const auto& head : missing_)
        node.getRecord({}, record, title, head.stamp, head.id);
    flush();
    // The thread table and the next fetch read the index row.
    cache_.updateIndex(title);
    return result_;
}

void ThreadSync::onHead(ThreadDataEvent& event) {
    ++result_.heads;
    // Records from the last update on come with the range; older ones only when the cache
    // lacks them.
    if (int64_t{event.stamp()} >= lastAccess_ ||
        cached_.count({event.stamp(), lowerAscii(event.id())}))
        return;
    if (missing_.size() >= options_.maxMissingHeads)
        throw Exception("too many records from the node");
    missing_.push_back({event.stamp(), event.id()});
}

void ThreadSync::onRecord(ThreadDataEvent& event) {
    const auto& fields = event.attributes();
    auto field = [&](const char* key) -> std::string {
        auto it = fields.find(key);
        return it == fields.end() ? std::string() : it->second;
    };
    ThreadMessage m;
    m.title = title_;
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
            try {
                saveAttachment(m, attach->second);
            } catch (const ThreadDataException&) {
                ++result_.skipped;
                return;
            }
        }
    }
    for (const auto& [key, value] : fields)
        batchBytes_ += key.size() + value.size();
    batch_.push_back(std::move(m));
    if (batch_.size() >= options_.batchRecords || batchBytes_ >= options_.batchBytes)
        flush();
}

void ThreadSync::saveAttachment(ThreadMessage& message, const std::string& attach) {
    std::string bytes;
    try {
        bytes = Digest::base64Decode(attach);
    } catch (const std::exception& e) {
        throw ThreadDataException(e.what());
    }
    message.setAttach(bytes);
    const std::string path = message.attachPathIn(attachDir_);
    std::filesystem::create_directories(attachDir_);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        throw Exception("attachment write error");
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        throw Exception("attachment write error");
}

void ThreadSync::flush() {
    if (batch_.empty())
        return;
    result_.stored += cache_.insertAll(batch_);
    for (auto& message : batch_)
        message.clear();
    batch_.clear();
    batchBytes_ = 0;
}

} // namespace bryndle
