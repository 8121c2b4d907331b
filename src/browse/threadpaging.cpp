#include "browse/threadpaging.h"

#include <algorithm>

namespace bryndle {

namespace {

uint32_t atLeastOne(uint32_t items) {
    return std::max<uint32_t>(items, 1);
}

} // namespace

Schema ThreadPaging::cleared(Schema current, uint32_t mode, const char* method) {
    current.mode = mode;
    current.method = method;
    current.target.clear();
    current.fragment.clear();
    return current;
}

Schema ThreadPaging::firstPage(Schema current, uint32_t configured) {
    Schema next = cleared(std::move(current), 2, "cache");
    next.page = 0;
    next.items = atLeastOne(configured);
    return next;
}

Schema ThreadPaging::intoPages(Schema current, int64_t count, uint32_t configured) {
    const uint32_t items = atLeastOne(configured);
    const int64_t pages = std::max<int64_t>(count, 0) / items;
    Schema next = cleared(std::move(current), 2, "cache");
    next.page = static_cast<uint32_t>(std::min<int64_t>(pages == 0 ? 0 : pages - 1, UINT32_MAX));
    next.items = items;
    return next;
}

std::optional<Schema> ThreadPaging::previousPage(Schema current, int64_t count,
                                                 uint32_t configured) {
    if (current.mode != 2)
        return intoPages(std::move(current), count, configured);
    if (current.page == 0)
        return std::nullopt;
    const uint32_t page = current.page - 1;
    Schema next = cleared(std::move(current), 2, "cache");
    next.page = page;
    if (next.items == 0)
        next.items = atLeastOne(configured);
    return next;
}

Schema ThreadPaging::nextPage(Schema current, int64_t count, uint32_t configured) {
    if (current.mode != 2)
        return intoPages(std::move(current), count, configured);
    // A page location without its own item count counts by the configured one.
    const uint32_t items = current.items ? current.items : atLeastOne(configured);
    const uint64_t end = (uint64_t{current.page} + 1) * items;
    const bool more = end < static_cast<uint64_t>(std::max<int64_t>(count, 0));
    const uint32_t page = current.page;
    Schema next = cleared(std::move(current), 2, more ? "cache" : "get");
    next.items = items;
    next.page = more ? page + 1 : page;
    return next;
}

Schema ThreadPaging::all(Schema current) {
    Schema next = cleared(std::move(current), 0, "get");
    next.page = 0;
    next.items = 0;
    return next;
}

Schema ThreadPaging::latest(Schema current, uint32_t configured) {
    Schema next = cleared(std::move(current), 1, "get");
    next.page = 0;
    next.items = atLeastOne(configured);
    return next;
}

} // namespace bryndle
