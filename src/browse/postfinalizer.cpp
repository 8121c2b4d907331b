#include "browse/postfinalizer.h"

#include "browse/shingetsubrowserpage.h"
#include "store/schema.h"

namespace bryndle {

PostFinalizer::PostFinalizer(ShingetsuBrowserPage* page) : page_(page) {}

void PostFinalizer::run() {
    if (!page_ || page_->isDisposed())
        return;
    // A page read from the cache alone would not show the post: it is fetched at the same page.
    const QString location = page_->getLocation();
    if (location.startsWith(QLatin1String("shingetsu://"))) {
        try {
            Schema schema = Schema::parse(location.toStdString());
            if (QString::fromStdString(schema.method)
                    .compare(QLatin1String("get"), Qt::CaseInsensitive) != 0) {
                schema.method = "get";
                page_->open(QString::fromStdString(schema.toLocation()));
                return;
            }
        } catch (const std::exception&) {
            // Not a location to fetch: shown again as it is.
        }
    }
    page_->refresh();
}

} // namespace bryndle
