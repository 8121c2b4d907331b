#pragma once

#include "http/httpheader.h"

#include <memory>
#include <string>
#include <string_view>

namespace bryndle {

// One notification to a response listener: the response header and a chunk or a line of the
// body. The connection reuses one event and clears it before every notification, so a
// listener copies what it keeps.
class HTTPResponseEvent {
public:
    HTTPResponseEvent() = default;
    virtual ~HTTPResponseEvent() = default;

    virtual void setHeader(std::shared_ptr<const HTTPHeader> header) {
        header_ = std::move(header);
    }
    virtual const std::shared_ptr<const HTTPHeader>& header() const { return header_; }
    virtual HTTPResponseEvent& setStopped(bool stopped);
    virtual bool stopped() const { return stopped_; }
    virtual HTTPResponseEvent& setData(std::string_view data);
    virtual const std::string& data() const { return data_; }
    virtual std::string dataCopy() const { return data_; }
    virtual std::string textCopy() const { return data_; }
    virtual const std::string& text() const { return data_; }
    // Stopped back to false, data and header dropped (the data buffer's capacity is kept).
    virtual void clear();

private:
    bool stopped_ = false;
    std::string data_;
    std::shared_ptr<const HTTPHeader> header_;
};

} // namespace bryndle
