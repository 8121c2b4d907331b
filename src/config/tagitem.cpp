#include "config/tagitem.h"

#include "foundation/unicode.h"

#include <limits>

namespace bryndle {

void TagItem::countUp() {
    if (count_ < std::numeric_limits<int32_t>::max())
        ++count_;
}

void TagItem::countDown() {
    if (count_ > 0)
        count_ = 0;
    else if (count_ > std::numeric_limits<int32_t>::min())
        --count_;
}

bool TagItem::operator<(const TagItem& other) const {
    if (count_ != other.count_)
        return count_ > other.count_;
    return Unicode::compareIgnoringCase(name_, other.name_) < 0;
}

} // namespace bryndle
