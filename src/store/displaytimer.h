#pragma once

#include <cstdint>
#include <functional>

namespace bryndle {

// The display's timer: runs a task on the user-interface thread after a delay. The display
// outlives every task given to it.
class DisplayTimer {
public:
    virtual ~DisplayTimer() = default;
    virtual void timerExec(int32_t milliseconds, std::function<void()> task) = 0;
};

} // namespace bryndle
