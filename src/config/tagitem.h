#pragma once

#include <cstdint>
#include <string>

namespace bryndle {

// A thread tag and how often it has been used as a filter.
class TagItem {
public:
    explicit TagItem(std::string name = {}, int32_t count = 0)
        : name_(std::move(name)), count_(count) {}

    const std::string& name() const { return name_; }
    int32_t count() const { return count_; }
    void countUp();
    void countDown();

    // A higher count first; equal counts by name, ascending, letter case ignored.
    bool operator<(const TagItem& other) const;

private:
    std::string name_;
    int32_t count_;
};

} // namespace bryndle
