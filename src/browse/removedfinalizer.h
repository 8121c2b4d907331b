#pragma once

#include <QPointer>

namespace bryndle {

class ThreadTable;

// Runs when the window on the node's deletion page goes: a second later (the node finishing the
// deletion), the table lists again what it showed. The wait is a timer, so the window keeps
// painting; a table destroyed meanwhile is left alone.
class RemovedFinalizer {
public:
    static constexpr int DelayMilliseconds = 1000;

    explicit RemovedFinalizer(ThreadTable* table);
    void run() const;

private:
    QPointer<ThreadTable> table_;
};

} // namespace bryndle
