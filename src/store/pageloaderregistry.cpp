#include "store/pageloaderregistry.h"

#include "store/pageloader.h"

#include <algorithm>

namespace bryndle {

PageLoaderRegistry& PageLoaderRegistry::instance() {
    // Made on the first opening, after the cache and the configuration, so it goes before them.
    static PageLoaderRegistry registry;
    return registry;
}

PageLoaderRegistry::~PageLoaderRegistry() {
    joinAll();
}

void PageLoaderRegistry::add(const std::shared_ptr<PageLoader>& loader) {
    std::lock_guard<std::mutex> guard(mutex_);
    std::erase_if(loaders_, [](const std::weak_ptr<PageLoader>& entry) { return entry.expired(); });
    loaders_.push_back(loader);
}

std::vector<std::shared_ptr<PageLoader>> PageLoaderRegistry::live() {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::shared_ptr<PageLoader>> found;
    for (const auto& entry : loaders_)
        if (auto loader = entry.lock())
            found.push_back(std::move(loader));
    std::erase_if(loaders_, [](const std::weak_ptr<PageLoader>& entry) { return entry.expired(); });
    return found;
}

size_t PageLoaderRegistry::liveCount() {
    return live().size();
}

void PageLoaderRegistry::abandonAll() {
    for (const auto& loader : live())
        loader->abandon();
}

void PageLoaderRegistry::joinAll() {
    // Joined outside the lock: a worker that ends may release its loader meanwhile.
    for (const auto& loader : live())
        loader->join();
}

} // namespace bryndle
