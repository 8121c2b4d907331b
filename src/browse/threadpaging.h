#pragma once

#include "store/schema.h"

#include <cstdint>
#include <optional>

namespace bryndle {

// The locations of a thread page's paging buttons, made from the location it shows, the
// thread's record count and the configured records per page. Pages count from 0; the target
// is always cleared. Divisions use the configured number (at least 1), never the location's
// own item count, which is 0 for a whole thread.
class ThreadPaging {
public:
    // Page 0 from the cache.
    static Schema firstPage(Schema current, uint32_t configured);
    // On a page: the one before it from the cache, or nothing on page 0. Otherwise the last
    // page that is full, as next does.
    static std::optional<Schema> previousPage(Schema current, int64_t count, uint32_t configured);
    // On a page: the one after it from the cache, or the same page fetched again when it is the
    // last. Otherwise as previous.
    static Schema nextPage(Schema current, int64_t count, uint32_t configured);
    // The whole thread, fetched.
    static Schema all(Schema current);
    // The latest records, fetched.
    static Schema latest(Schema current, uint32_t configured);

private:
    // From the latest records or the whole thread into pages.
    static Schema intoPages(Schema current, int64_t count, uint32_t configured);
    static Schema cleared(Schema current, uint32_t mode, const char* method);
};

} // namespace bryndle
