#include "http/linesplitter.h"

#include "http/httpconnectionexception.h"

namespace bryndle {

void LineSplitter::checkLength(size_t length) const {
    if (length > maxLineLength_)
        throw HTTPProtocolException("body line too long (more than " +
                                    std::to_string(maxLineLength_) + " bytes)");
}

bool LineSplitter::feed(std::string_view chunk, const LineHandler& handler) {
    size_t start = 0;
    if (skipLF_ && !chunk.empty()) {
        // The previous chunk ended a line; its LF arrives only now.
        if (chunk[0] == '\n')
            start = 1;
        skipLF_ = false;
    }
    for (size_t i = start; i < chunk.size(); ++i) {
        char c = chunk[i];
        if (c != '\r' && c != '\n')
            continue;
        std::string_view piece = chunk.substr(start, i - start);
        checkLength(pending_.size() + piece.size());
        bool go;
        if (pending_.empty()) {
            go = handler(piece);
        } else {
            pending_.append(piece);
            go = handler(pending_);
            pending_.clear();
        }
        start = i + 1;
        if (start < chunk.size()) {
            if (chunk[start] == '\n')
                ++start;
        } else {
            skipLF_ = true;
        }
        if (!go)
            return false;
        i = start - 1;
    }
    std::string_view rest = chunk.substr(start);
    checkLength(pending_.size() + rest.size());
    pending_.append(rest);
    return true;
}

bool LineSplitter::finish(const LineHandler& handler) {
    skipLF_ = false;
    if (pending_.empty())
        return true;
    bool go = handler(pending_);
    pending_.clear();
    return go;
}

} // namespace bryndle
