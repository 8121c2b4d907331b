#pragma once

#include <cstdint>
#include <memory>

namespace bryndle {

class DisplayTimer;
class PageLoader;

// Polls a page loader's worker from the display's timer and shows the result once the worker
// has ended. It keeps the loader alive while it polls.
class ProcessControler : public std::enable_shared_from_this<ProcessControler> {
public:
    static constexpr int32_t PollInterval = 50;
    static constexpr uint32_t BlinkEvery = 10;

    ProcessControler(std::shared_ptr<PageLoader> loader, DisplayTimer& timer);
    virtual ~ProcessControler() = default;

    // One poll (user-interface thread).
    virtual void run();
    // Asks the display to run the next poll after the poll interval.
    void schedule();
    uint32_t ticks() const { return ticks_; }

private:
    uint32_t ticks_ = 0;
    std::shared_ptr<PageLoader> loader_;
    DisplayTimer& timer_;
};

} // namespace bryndle
