#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace bryndle {

class PageLoader;

// The page loaders of the process that may still run, so that the program can end them before
// the thread cache and the configuration go: at exit the interface abandons them (nothing is
// shown any more) and then joins their workers. Loaders are held weakly; a loader that has
// ended and been released drops out by itself.
class PageLoaderRegistry {
public:
    static PageLoaderRegistry& instance();

    PageLoaderRegistry() = default;
    PageLoaderRegistry(const PageLoaderRegistry&) = delete;
    PageLoaderRegistry& operator=(const PageLoaderRegistry&) = delete;
    // Joins what is left: a worker must not outlive the cache it writes to.
    ~PageLoaderRegistry();

    void add(const std::shared_ptr<PageLoader>& loader);
    // Loaders still held by someone (a worker, a poll, a browser).
    size_t liveCount();
    // User-interface thread: no loader touches its browser any more.
    void abandonAll();
    // Waits for every worker to end; their records still reach the cache.
    void joinAll();

private:
    std::vector<std::shared_ptr<PageLoader>> live();

    std::mutex mutex_;
    std::vector<std::weak_ptr<PageLoader>> loaders_;
};

} // namespace bryndle
