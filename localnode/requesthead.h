#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace bryndle {

// The head of one HTTP request (request line and header fields), taken as its bytes arrive and
// judged within bounds, so that a client can neither keep the node reading an endless head nor
// fill its memory with one.
class RequestHead {
public:
    static constexpr size_t kMaxFields = 100;
    static constexpr size_t kMaxBytes = 64 * 1024;
    static constexpr size_t kMaxLineBytes = 8 * 1024;

    enum class State { Reading, Complete, Refused };

    explicit RequestHead(uint64_t maxBodyBytes) : maxBodyBytes_(maxBodyBytes) {}

    // Takes bytes up to the end of the head and returns how many it took; the rest belongs to
    // the body. Takes nothing once the head is complete or refused.
    size_t feed(std::string_view bytes);

    State state() const { return state_; }
    // The status a refused head is answered with: 400, 411, 413, 414 or 431.
    int refusal() const { return refusal_; }
    // Whether any byte has arrived.
    bool started() const { return received_ > 0; }

    // Of a complete head: the body's length, and whether the client waits for a 100 Continue.
    uint64_t contentLength() const { return contentLength_; }
    bool expectsContinue() const { return expectsContinue_; }
    // The head as received, ending with its empty line, without its Expect field (the reader
    // of the head answers that).
    const std::string& text() const { return text_; }

    // The method and target of the request line, once it has been read.
    const std::string& method() const { return method_; }
    const std::string& target() const { return target_; }

private:
    void takeLine(std::string_view line);
    void takeRequestLine(std::string_view line);
    // False for a field the head leaves out of its text.
    bool takeField(std::string_view line);
    void refuse(int status);

    uint64_t maxBodyBytes_;
    State state_ = State::Reading;
    int refusal_ = 0;
    size_t received_ = 0;
    size_t fields_ = 0;
    bool haveRequestLine_ = false;
    bool haveLength_ = false;
    uint64_t contentLength_ = 0;
    bool expectsContinue_ = false;
    std::string line_;
    std::string text_;
    std::string method_;
    std::string target_;
};

} // namespace bryndle
