#pragma once

#include "store/displaytimer.h"

#include <QPointer>

class QObject;

namespace bryndle {

// The display's timer on Qt: a task runs on the user-interface thread after the delay, unless
// the context object has gone by then (a closed page polls nothing).
class QtDisplayTimer : public DisplayTimer {
public:
    explicit QtDisplayTimer(QObject* context);
    void timerExec(int32_t milliseconds, std::function<void()> task) override;

private:
    QPointer<QObject> context_;
};

} // namespace bryndle
