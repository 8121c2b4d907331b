#include "browse/threadpagewindows.h"

#include "browse/browserchildwindow.h"
#include "browse/browserpostwindow.h"
#include "browse/postfinalizer.h"
#include "browse/shingetsubrowserpage.h"

namespace bryndle {

void ThreadPageWindows::attach(ShingetsuBrowserPage* page) {
    // Direct: the pop-up's browser is handed over inside the engine's request.
    QObject::connect(
        page, &ShingetsuBrowserPage::newWindowRequested, page,
        [page](WindowEvent* event) { BrowserChildWindow::openNewWindow(page, event); },
        Qt::DirectConnection);
    QObject::connect(page, &ShingetsuBrowserPage::postRequested, page,
                     [page](const QString& location) {
                         // The finalizer holds the page weakly: a page closed meanwhile is left
                         // alone.
                         std::shared_ptr<PostFinalizer> finalizer = page->postFinalizer();
                         BrowserPostWindow::openPost(location, [finalizer] {
                             if (finalizer)
                                 finalizer->run();
                         });
                     });
}

} // namespace bryndle
