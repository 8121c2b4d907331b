#include "store/stylesheetcache.h"

#include "foundation/asciitext.h"

#include <libxslt/xsltInternals.h>

#include <sys/stat.h>

namespace bryndle {

namespace {

// What tells one version of a sheet file from the next.
struct FileState {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileState& o) const {
        return path == o.path && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

bool stateOf(const std::string& path, FileState* state) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return false;
    *state = {path, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    return true;
}

// Documents know their file by URL: a plain path, or one with escapes where it needed them.
bool stateOfDocument(const xmlDoc* doc, FileState* state) {
    if (!doc || !doc->URL)
        return false;
    std::string url(reinterpret_cast<const char*>(doc->URL));
    if (url.rfind("file://", 0) == 0)
        url.erase(0, 7);
    return stateOf(url, state) || stateOf(percentDecode(url), state);
}

// The files a compiled sheet was built from: itself, its includes and its imports, deeply.
bool collectStates(const xsltStylesheet* style, std::vector<FileState>* states) {
    for (; style; style = style->next) {
        FileState state;
        if (!stateOfDocument(style->doc, &state))
            return false;
        states->push_back(state);
        for (const xsltDocument* included = style->docList; included; included = included->next) {
            if (!stateOfDocument(included->doc, &state))
                return false;
            states->push_back(state);
        }
        if (!collectStates(style->imports, states))
            return false;
    }
    return true;
}

bool unchanged(const std::vector<FileState>& states) {
    for (const FileState& before : states) {
        FileState now;
        if (!stateOf(before.path, &now) || !(now == before))
            return false;
    }
    return true;
}

} // namespace

struct StylesheetCache::Entry {
    std::string path;
    std::vector<FileState> states;
    bool reusable = false; // every file it came from could be checked
    std::unique_ptr<xsltStylesheet, void (*)(xsltStylesheetPtr)> style{nullptr, xsltFreeStylesheet};
};

StylesheetCache::StylesheetCache(Compiler compiler, size_t capacity)
    : compiler_(std::move(compiler)), capacity_(capacity) {}

StylesheetCache::~StylesheetCache() = default;

StylesheetCache::Lease::Lease(StylesheetCache* cache, std::unique_ptr<Entry> entry)
    : cache_(cache), entry_(std::move(entry)) {}

StylesheetCache::Lease::Lease(Lease&& other) noexcept
    : cache_(other.cache_), entry_(std::move(other.entry_)) {}

StylesheetCache::Lease::~Lease() {
    if (entry_)
        cache_->giveBack(std::move(entry_));
}

xsltStylesheet* StylesheetCache::Lease::get() const {
    return entry_->style.get();
}

StylesheetCache::Lease StylesheetCache::acquire(const std::string& path) {
    // Checked and compiled outside the lock: other transforms need not wait for the disk.
    if (std::unique_ptr<Entry> idle = takeIdle(path); idle && unchanged(idle->states))
        return Lease(this, std::move(idle));
    auto entry = std::make_unique<Entry>();
    entry->path = path;
    entry->style.reset(compiler_(path));
    entry->reusable = collectStates(entry->style.get(), &entry->states);
    return Lease(this, std::move(entry));
}

std::unique_ptr<StylesheetCache::Entry> StylesheetCache::takeIdle(const std::string& path) {
    std::lock_guard<std::mutex> guard(lock_);
    for (auto it = idle_.begin(); it != idle_.end(); ++it) {
        if ((*it)->path == path) {
            std::unique_ptr<Entry> entry = std::move(*it);
            idle_.erase(it);
            return entry;
        }
    }
    return nullptr;
}

void StylesheetCache::giveBack(std::unique_ptr<Entry> entry) {
    if (!entry->reusable)
        return;
    std::list<std::unique_ptr<Entry>> evicted; // freed after the lock is released
    std::lock_guard<std::mutex> guard(lock_);
    idle_.push_front(std::move(entry));
    while (idle_.size() > capacity_) {
        evicted.push_back(std::move(idle_.back()));
        idle_.pop_back();
    }
}

} // namespace bryndle
