#include "browse/qtdisplaytimer.h"

#include <QTimer>

namespace bryndle {

QtDisplayTimer::QtDisplayTimer(QObject* context) : context_(context) {}

void QtDisplayTimer::timerExec(int32_t milliseconds, std::function<void()> task) {
    if (!context_)
        return;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, context_.data(), std::move(task));
}

} // namespace bryndle
