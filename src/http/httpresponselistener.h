#pragma once

#include "http/httpresponseevent.h"

#include <cstdint>

namespace bryndle {

// Receiver of one response. The connection reads lineMode() and bufferSize() once, when it
// starts handing the body over.
class HTTPResponseListener {
public:
    static constexpr int32_t DefaultBufferSize = 8192;

    HTTPResponseListener() = default;
    virtual ~HTTPResponseListener() = default;

    // Once, after the header was read; the event carries the header and no data.
    virtual void onHeader(HTTPResponseEvent& event);
    // Exactly once when the connection is done with the response, however it ended.
    virtual void onFinish();
    // Every chunk of the body as it arrives.
    virtual void onData(HTTPResponseEvent& event) = 0;
    // Every line of the body, in line mode.
    virtual void onLine(HTTPResponseEvent& event);
    virtual HTTPResponseListener& setLineMode(bool on);
    virtual bool lineMode() const { return lineMode_; }
    virtual void setBufferSize(int32_t size) { bufferSize_ = size; }
    virtual int32_t bufferSize() const { return bufferSize_; }

private:
    int32_t bufferSize_ = DefaultBufferSize;
    bool lineMode_ = false;
};

} // namespace bryndle
