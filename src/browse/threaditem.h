#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace bryndle {

class ThreadResponseEvent;

// One row of the thread table: a thread of a node's list with its running number, and the texts
// its columns show. Made on a worker thread and not changed afterwards.
class ThreadItem {
public:
    // Sort keys, one per column.
    static constexpr int32_t ByNumber = 0;
    static constexpr int32_t ByTitle = 1;
    static constexpr int32_t BySize = 2;
    static constexpr int32_t ByPosts = 4;
    static constexpr int32_t ByStamp = 6;

    ThreadItem(const ThreadResponseEvent& event, int32_t number);
    ThreadItem(std::string title, uint32_t stamp, uint32_t posts, uint32_t size, int32_t number,
               std::string path = {});

    // Negative when this item comes before the other under the key with the direction down:
    // larger numbers, sizes, post counts and stamps first, titles byte-wise from the smallest;
    // equal items under any key but the stamp go by stamp, newer first.
    int compareTo(const ThreadItem& other, int32_t key) const;

    // "%04d"
    const QString& numberText() const { return numberText_; }
    // As the node sent it (UTF-8).
    const std::string& title() const { return title_; }
    // The title as the table shows it: plain text with control characters as escapes.
    const QString& titleText() const { return titleText_; }
    // The title upper-cased as the filter compares it.
    const QString& upperTitle() const { return upperTitle_; }
    const QString& sizeText() const { return sizeText_; }
    const QString& postsText() const { return postsText_; }
    const QString& lastUpdateText() const { return lastUpdateText_; }
    int32_t number() const { return number_; }
    uint32_t size() const { return size_; }
    uint32_t posts() const { return posts_; }
    uint32_t stamp() const { return stamp_; }
    const std::string& path() const { return path_; }
    // The tags written in the title.
    const std::vector<QString>& tags() const { return tags_; }

    // The stamp's local time, "%04d %02d/%02d %02d:%02d:%02d".
    static QString formatTime(uint32_t stamp);
    // Bytes below 1024 as "  B"; then KB, MB and GB by steps of 1024, 1024000 and 1024000000.
    static QString formatSize(uint32_t size);
    // ASCII letters and the Unicode simple case mapping, as the filter compares titles.
    static QString upperCase(const QString& text);
    // Every text between "【" and the next "】", white space trimmed at both ends; empty tags
    // and tags holding control characters (no one can type them into the tag field) are left out.
    static std::vector<QString> gatherTags(const std::string& title);

private:
    QString numberText_;
    std::string title_;
    QString titleText_;
    QString upperTitle_;
    QString sizeText_;
    QString postsText_;
    QString lastUpdateText_;
    int32_t number_;
    uint32_t size_;
    uint32_t posts_;
    uint32_t stamp_;
    std::string path_;
    std::vector<QString> tags_;
};

} // namespace bryndle
