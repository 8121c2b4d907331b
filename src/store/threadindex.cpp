#include "store/threadindex.h"

namespace bryndle {

std::string ThreadIndex::recentId() const {
    return phash.size() < 8 ? std::string() : phash.substr(0, 8);
}

void ThreadIndex::dispose() {
    title.clear();
    phash.clear();
}

} // namespace bryndle
