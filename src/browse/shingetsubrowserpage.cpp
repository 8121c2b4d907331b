#include "browse/shingetsubrowserpage.h"

#include "store/schema.h"

#include <QLabel>
#include <QVBoxLayout>

namespace bryndle {

ShingetsuBrowserPage::ShingetsuBrowserPage(const QString&, TabFolder* folder, int style)
    : BrowserTabPage(folder, style) {
    construct();
}

void ShingetsuBrowserPage::createContents(QWidget* contents) {
    auto* layout = new QVBoxLayout(contents);
    label_ = new QLabel(contents);
    label_->setTextFormat(Qt::PlainText);
    layout->addWidget(label_);
}

void ShingetsuBrowserPage::open(const QString& location) {
    location_ = location;
    QString title = location;
    try {
        title = QString::fromStdString(Schema::parse(location.toStdString()).title);
    } catch (const std::exception&) {
        // Not a thread location: the tab shows the text itself.
    }
    setTitle(title);
    if (label_)
        label_->setText(location);
    setAddressText(location);
    notifyStateChanged();
}

} // namespace bryndle
