#include "browse/spareenginepage.h"

#include "browse/browsercontrolpage.h"
#include "browse/threadprofile.h"
#include "config/configuration.h"
#include "store/pagerenderer.h"
#include "store/schema.h"
#include "store/threadmessage.h"

#include <QFile>
#include <QTimer>
#include <QUrl>

#include <exception>
#include <utility>
#include <vector>

namespace bryndle {

namespace {

// A few records with the characters a thread page is mostly made of.
std::vector<ThreadMessage> sampleRecords() {
    std::vector<ThreadMessage> records;
    for (int n = 0; n < 3; ++n) {
        ThreadMessage record;
        record.title = "見本";
        record.mtime = 1600000000 + n * 60;
        record.md5 = std::string(32, static_cast<char>('a' + n));
        record.name = "名無しさん";
        record.message = "あいうえお、カタカナ。漢字の本文です。<br>&gt;&gt;aaaaaaaa への返事 "
                         "ABC abc 0123 &amp; &hearts;";
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace

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
    spare_->start(samplePage());
}

QUrl SpareEnginePage::samplePage() {
    const QUrl blank(QStringLiteral("about:blank"));
    if (!sampleDir_.isValid())
        return blank;
    try {
        Schema schema("見本");
        schema.method = "cache";
        const std::string html = PageRenderer::render(ThreadMessage::toDocument(
            schema, Configuration::instance().themeDir(), sampleRecords(), 0, std::string()));
        QFile file(sampleDir_.filePath(QStringLiteral("sample.html")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(html.data(), static_cast<qint64>(html.size())) !=
                static_cast<qint64>(html.size()))
            return blank;
        return QUrl::fromLocalFile(file.fileName());
    } catch (const std::exception&) {
        // No theme to show (or none configured yet): the renderer still starts.
        return blank;
    }
}

} // namespace bryndle
