#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct _xsltStylesheet;

namespace bryndle {

// Compiled XSL stylesheets by path, reused while the sheet and every sheet it imports or
// includes keep their size, modification time and file. A compiled sheet is lent to one
// transform at a time, so transforms on several threads never share one; a second transform of
// the same sheet meanwhile compiles its own. At most `capacity` idle sheets are kept, the least
// recently used going first.
class StylesheetCache {
public:
    // Compiles the sheet at a path; raises on failure. The cache owns what it returns.
    using Compiler = std::function<_xsltStylesheet*(const std::string& path)>;

    StylesheetCache(Compiler compiler, size_t capacity);
    ~StylesheetCache();
    StylesheetCache(const StylesheetCache&) = delete;
    StylesheetCache& operator=(const StylesheetCache&) = delete;

    struct Entry;
    // A compiled sheet for one transform; it goes back to the cache when the lease ends.
    class Lease {
    public:
        Lease(StylesheetCache* cache, std::unique_ptr<Entry> entry);
        Lease(Lease&&) noexcept;
        ~Lease();
        _xsltStylesheet* get() const;

    private:
        StylesheetCache* cache_;
        std::unique_ptr<Entry> entry_;
    };

    Lease acquire(const std::string& path);

private:
    std::unique_ptr<Entry> takeIdle(const std::string& path);
    void giveBack(std::unique_ptr<Entry> entry);

    Compiler compiler_;
    size_t capacity_;
    std::mutex lock_;
    std::list<std::unique_ptr<Entry>> idle_; // most recently used first
};

} // namespace bryndle
