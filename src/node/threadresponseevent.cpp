#include "node/threadresponseevent.h"

#include "foundation/decimal.h"
#include "foundation/unicode.h"
#include "node/csvline.h"

namespace bryndle {

void ThreadResponseEvent::parse(std::string_view line, std::any tag) {
    std::optional<std::vector<std::string>> columns = splitCsvLine(line);
    if (!columns)
        throw GatewayException("format error");
    fill(*columns, std::move(tag));
}

void ThreadResponseEvent::fill(const std::vector<std::string>& columns, std::any tag) {
    clear();
    if (columns.size() != ColumnCount)
        throw GatewayException("format error");
    if (!Unicode::isValidUtf8(columns[5]))
        throw GatewayException("title is not valid UTF-8");
    std::string_view size = columns[7];
    if (!size.empty() && size.back() == '\n')
        size.remove_suffix(1);
    if (!size.empty() && size.back() == '\r')
        size.remove_suffix(1);
    file_ = columns[0];
    stamp_ = parseDecimalUInt32(columns[1]);
    path_ = columns[2];
    uri_ = columns[3];
    type_ = columns[4];
    title_ = columns[5];
    records_ = parseDecimalUInt32(columns[6]);
    size_ = parseDecimalUInt32(size);
    tag_ = std::move(tag);
    stop_ = false;
}

void ThreadResponseEvent::clear() {
    file_.clear();
    stamp_ = 0;
    path_.clear();
    uri_.clear();
    type_.clear();
    title_.clear();
    records_ = 0;
    size_ = 0;
    tag_.reset();
    stop_ = false;
}

} // namespace bryndle
