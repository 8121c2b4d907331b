#include "requesthead.h"

#include "foundation/asciitext.h"

namespace bryndle {

namespace {

std::string_view trimmed(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// Digits only, at most 18 of them: every such number fits.
bool parseLength(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 18) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (!isAsciiDigit(c)) {
            return false;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

} // namespace

size_t RequestHead::feed(std::string_view bytes) {
    size_t taken = 0;
    while (state_ == State::Reading && taken < bytes.size()) {
        size_t end = bytes.find('\n', taken);
        size_t piece = (end == std::string_view::npos ? bytes.size() : end + 1) - taken;
        line_.append(bytes.substr(taken, piece));
        taken += piece;
        received_ += piece;
        if (received_ > kMaxBytes || line_.size() > kMaxLineBytes) {
            refuse(haveRequestLine_ ? 431 : 414);
        } else if (line_.back() == '\n') {
            takeLine(line_);
            line_.clear();
        }
    }
    return taken;
}

void RequestHead::takeLine(std::string_view line) {
    std::string_view content = line.substr(0, line.size() - 1);
    if (!content.empty() && content.back() == '\r') {
        content.remove_suffix(1);
    }
    if (!haveRequestLine_) {
        takeRequestLine(content);
        text_.append(line);
    } else if (content.empty()) {
        text_.append(line);
        state_ = State::Complete;
    } else if (++fields_ > kMaxFields) {
        refuse(431);
    } else if (takeField(content) && state_ == State::Reading) {
        text_.append(line);
    }
}

void RequestHead::takeRequestLine(std::string_view line) {
    haveRequestLine_ = true;
    size_t space = line.find(' ');
    size_t second = space == std::string_view::npos ? space : line.find(' ', space + 1);
    if (space == 0 || second == std::string_view::npos) {
        refuse(400);
        return;
    }
    method_ = line.substr(0, space);
    target_ = line.substr(space + 1, second - space - 1);
}

bool RequestHead::takeField(std::string_view line) {
    size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        refuse(400);
        return false;
    }
    std::string name = lowerAscii(line.substr(0, colon));
    std::string_view value = trimmed(line.substr(colon + 1));
    if (name == "content-length") {
        uint64_t length = 0;
        if (!parseLength(value, length) || (haveLength_ && length != contentLength_)) {
            refuse(400);
        } else if (length > maxBodyBytes_) {
            refuse(413);
        }
        haveLength_ = true;
        contentLength_ = length;
    } else if (name == "transfer-encoding") {
        // Every body here comes with its length; forms never need more.
        refuse(411);
    } else if (name == "expect" && lowerAscii(value) == "100-continue") {
        expectsContinue_ = true;
        return false;
    }
    return true;
}

void RequestHead::refuse(int status) {
    state_ = State::Refused;
    refusal_ = status;
    line_.clear();
    line_.shrink_to_fit();
}

} // namespace bryndle
