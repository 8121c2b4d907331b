#pragma once

#include <cstdint>
#include <string>

namespace bryndle {

// What the page loader needs of the thread page's browser control. The interface layer
// implements it; every call comes on the user-interface thread.
class PageBrowser {
public:
    virtual ~PageBrowser() = default;

    virtual void setPageTitle(const std::string& title) = 0;
    virtual void setAddress(const std::string& location) = 0;
    virtual void blinkIcon() = 0;
    // The page document and the thread's number of cached records.
    virtual void showDocument(const std::string& text, int32_t total) = 0;
    virtual void showError(const std::string& message) = 0;
    virtual void showLoading(const std::string& text) = 0;
    // The tab's image, by icon name.
    virtual void setIcon(const std::string& image) = 0;
    virtual bool isDisposed() const = 0;
};

} // namespace bryndle
