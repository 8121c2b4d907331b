#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace bryndle {

// One answered request, as the status window lists it.
struct NodeRequestEntry {
    int64_t time = 0;
    std::string method;
    std::string path;
    int status = 0;
};

// The last requests the node answered, shared between the serving threads and the window.
class NodeActivity {
public:
    explicit NodeActivity(size_t capacity = 100) : capacity_(capacity) {}
    virtual ~NodeActivity() = default;

    virtual void add(NodeRequestEntry entry);
    // The kept entries, the newest first.
    virtual std::vector<NodeRequestEntry> latest() const;
    // Every request answered since the start.
    virtual uint64_t total() const;

private:
    mutable std::mutex mutex_;
    size_t capacity_;
    std::deque<NodeRequestEntry> entries_;
    uint64_t total_ = 0;
};

} // namespace bryndle
