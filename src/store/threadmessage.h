#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bryndle {

class Schema;

// One thread record as the cache stores it, and its form in the page document.
class ThreadMessage {
public:
    static constexpr size_t ShortIdLength = 8;
    static constexpr size_t MaxSuffixLength = 8;

    virtual ~ThreadMessage() = default;

    // The attachment folder joined with the file name of these bytes: the lower-case hexadecimal
    // MD5 of the bytes, and ".ext" when ext is a safe suffix.
    virtual std::string attachPathFor(std::string_view bytes) const;
    // attach = the lower-case hexadecimal MD5 of the bytes.
    virtual void setAttach(std::string_view bytes);
    // The attachment's file path; empty without an attachment. An attach that is not an MD5 in
    // hexadecimal gives no path, so no stored text can name a file outside the folder.
    virtual std::string attachPath() const;
    // The same path in the given attachment folder (attachPath uses the configured folder).
    std::string attachPathIn(const std::string& folder) const;
    // The ITEM element of the record with the given number.
    virtual std::string toItem(uint32_t number) const;
    // Drops the record's texts after use.
    virtual void clear();

    // The page document of a page of records, naming the theme's stylesheet for the method.
    static std::string toDocument(const Schema& schema, const std::string& themeDir,
                                  const std::vector<ThreadMessage>& records, uint32_t first,
                                  const std::string& recentId);
    // A suffix that may go into a file name: 1 to 8 ASCII letters and digits.
    static bool isSafeSuffix(std::string_view suffix);

    std::string title;
    int32_t mtime = 0;
    std::string md5;
    std::string message;
    std::string mail;
    std::string name;
    std::string remove_id;
    std::string remove_stamp;
    std::string trip;
    std::string pubkey;
    std::string sign;
    std::string attach;
    std::string ext;
    uint32_t flags = 0;
};

} // namespace bryndle
