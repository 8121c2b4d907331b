#pragma once

#include "http/httpresponselistener.h"

namespace bryndle {

// Judges every body line as "YES" or "NO" (ignoring case); the last line decides, and any
// other line makes the answer invalid.
class HaveThreadResponseListener : public HTTPResponseListener {
public:
    HaveThreadResponseListener();

    void onData(HTTPResponseEvent& event) override;
    void onLine(HTTPResponseEvent& event) override;
    virtual bool valid() const { return valid_; }
    virtual bool have() const { return have_; }

private:
    bool have_ = false;
    bool valid_ = false;
};

} // namespace bryndle
