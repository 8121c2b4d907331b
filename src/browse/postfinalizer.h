#pragma once

#include <QPointer>

namespace bryndle {

class ShingetsuBrowserPage;

// Run by a post window when it closes: the thread page it was opened from shows the thread
// again, fetching the new record. The window may outlive the page; then nothing happens.
class PostFinalizer {
public:
    explicit PostFinalizer(ShingetsuBrowserPage* page);
    virtual ~PostFinalizer() = default;
    virtual void run();

private:
    QPointer<ShingetsuBrowserPage> page_;
};

} // namespace bryndle
