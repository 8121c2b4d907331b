#include "nodeactivity.h"

namespace bryndle {

void NodeActivity::add(NodeRequestEntry entry) {
    std::lock_guard lock(mutex_);
    entries_.push_front(std::move(entry));
    while (entries_.size() > capacity_) {
        entries_.pop_back();
    }
    ++total_;
}

std::vector<NodeRequestEntry> NodeActivity::latest() const {
    std::lock_guard lock(mutex_);
    return {entries_.begin(), entries_.end()};
}

uint64_t NodeActivity::total() const {
    std::lock_guard lock(mutex_);
    return total_;
}

} // namespace bryndle
