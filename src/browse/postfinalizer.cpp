#include "browse/postfinalizer.h"

#include "browse/shingetsubrowserpage.h"

namespace bryndle {

PostFinalizer::PostFinalizer(ShingetsuBrowserPage* page) : page_(page) {}

void PostFinalizer::run() {
    if (page_ && !page_->isDisposed())
        page_->refresh();
}

} // namespace bryndle
