#include "browse/removedfinalizer.h"

#include "browse/threadtable.h"

#include <QTimer>

namespace bryndle {

RemovedFinalizer::RemovedFinalizer(ThreadTable* table) : table_(table) {}

void RemovedFinalizer::run() const {
    if (!table_)
        return;
    ThreadTable* table = table_.data();
    QTimer::singleShot(DelayMilliseconds, table, [table] {
        if (table->isShowingSubscribed())
            table->showSubscribedThreads();
        else
            table->showNewThreads();
    });
}

} // namespace bryndle
