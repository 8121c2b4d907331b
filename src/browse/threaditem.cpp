#include "browse/threaditem.h"

#include "foundation/conv.h"
#include "foundation/decimal.h"
#include "foundation/unicode.h"
#include "node/threadresponseevent.h"
#include "toolkit/plaintext.h"

namespace bryndle {

ThreadItem::ThreadItem(const ThreadResponseEvent& event, int32_t number)
    : ThreadItem(event.title(), event.stamp(), event.records(), event.size(), number,
                 event.path()) {}

ThreadItem::ThreadItem(std::string title, uint32_t stamp, uint32_t posts, uint32_t size,
                       int32_t number, std::string path)
    : numberText_(QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'))),
      title_(std::move(title)), sizeText_(formatSize(size)), postsText_(QString::number(posts)),
      lastUpdateText_(formatTime(stamp)), number_(number), size_(size), posts_(posts),
      stamp_(stamp), path_(std::move(path)), tags_(gatherTags(title_)) {
    const QString title16 = QString::fromStdString(title_);
    titleText_ = visibleControls(title16);
    upperTitle_ = QString::fromStdString(Unicode::toUpper(title_));
}

namespace {

// Larger first.
template <class T> int descending(T a, T b) {
    return a > b ? -1 : (a < b ? 1 : 0);
}

} // namespace

int ThreadItem::compareTo(const ThreadItem& other, int32_t key) const {
    int order = 0;
    switch (key) {
    case ByNumber:
        order = descending(number_, other.number_);
        break;
    case ByTitle:
        order = title_.compare(other.title_);
        break;
    case BySize:
        order = descending(size_, other.size_);
        break;
    case ByPosts:
        order = descending(posts_, other.posts_);
        break;
    default:
        break;
    }
    return order != 0 ? order : descending(stamp_, other.stamp_);
}

QString ThreadItem::formatTime(uint32_t stamp) {
    const std::tm t = localTime(stamp);
    return QString::asprintf("%04d %02d/%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                             t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

QString ThreadItem::formatSize(uint32_t size) {
    // Limits and divisors are 1024, 1024 x 1000 and 1024 x 1000 x 1000, not powers of 1024.
    struct Step {
        double limit;
        double divisor;
        const char* unit;
    };
    static constexpr Step steps[] = {
        {1024.0, 1.0, "  B"}, {1024000.0, 1024.0, " KB"}, {1024000000.0, 1024000.0, " MB"}};
    const double bytes = size;
    for (const Step& step : steps)
        if (bytes < step.limit)
            return QString::fromStdString(formatFixed(bytes / step.divisor, 1) + step.unit);
    return QString::fromStdString(formatFixed(bytes / 1024000000.0, 1) + " GB");
}

QString ThreadItem::upperCase(const QString& text) {
    return QString::fromStdString(Unicode::toUpper(text.toStdString()));
}

std::vector<QString> ThreadItem::gatherTags(const std::string& title) {
    static const std::string open = "【";
    static const std::string close = "】";
    std::vector<QString> tags;
    size_t from = 0;
    for (;;) {
        const size_t start = title.find(open, from);
        if (start == std::string::npos)
            break;
        const size_t end = title.find(close, start + open.size());
        if (end == std::string::npos)
            break;
        const QString tag =
            QString::fromStdString(title.substr(start + open.size(), end - start - open.size()))
                .trimmed();
        if (!tag.isEmpty() && visibleControls(tag) == tag)
            tags.push_back(tag);
        from = end + close.size();
    }
    return tags;
}

} // namespace bryndle
