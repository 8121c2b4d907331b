#include "browse/spareenginepage.h"

#include "browse/browsercontrolpage.h"
#include "browse/threadprofile.h"

#include <QTimer>
#include <QUrl>

#include <utility>

namespace bryndle {

QPointer<SpareEnginePage> SpareEnginePage::current_;

SpareEnginePage::SpareEnginePage(QObject* parent) : QObject(parent) {
    current_ = this;
    makeWhenIdle();
}

SpareEnginePage::~SpareEnginePage() {
    // Before the profile goes: a page may not outlive it.
    delete spare_;
}

BrowserControlPage* SpareEnginePage::take() {
    return current_ ? current_->handOver() : nullptr;
}

bool SpareEnginePage::isReady() const {
    return spare_ && ready_;
}

BrowserControlPage* SpareEnginePage::handOver() {
    if (!isReady())
        return nullptr;
    BrowserControlPage* page = std::exchange(spare_, nullptr);
    ready_ = false;
    disconnect(page, nullptr, this, nullptr);
    page->setParent(nullptr);
    // The next one is made after the taker's first page, so the two do not share the cores.
    connect(page, &QWebEnginePage::loadFinished, this, &SpareEnginePage::makeWhenIdle,
            Qt::SingleShotConnection);
    connect(page, &QObject::destroyed, this, &SpareEnginePage::makeWhenIdle,
            Qt::SingleShotConnection);
    return page;
}

void SpareEnginePage::makeWhenIdle() {
    if (spare_ || scheduled_)
        return;
    scheduled_ = true;
    QTimer::singleShot(0, this, &SpareEnginePage::make);
}

void SpareEnginePage::make() {
    scheduled_ = false;
    if (spare_)
        return;
    spare_ = new BrowserControlPage(ThreadProfile::instance().profile(), nullptr);
    spare_->setParent(this);
    ThreadProfile::applySettings(spare_->settings());
    connect(spare_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        ready_ = ok;
        if (ok)
            emit ready();
    });
    // A spare whose renderer has gone would only slow the taker down; the next is made after
    // the next taking.
    connect(spare_, &QWebEnginePage::renderProcessTerminated, this, [this] {
        ready_ = false;
        std::exchange(spare_, nullptr)->deleteLater();
    });
    spare_->load(QUrl(QStringLiteral("about:blank")));
}

} // namespace bryndle
