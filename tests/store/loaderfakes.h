#pragma once

// Stand-ins for what the interface layer gives a page loader: the thread page's browser and
// the display's timer, which the test pumps by hand.

#include "store/displaytimer.h"
#include "store/pagebrowser.h"

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace bryndle::test {

class FakeBrowser : public PageBrowser {
public:
    void setPageTitle(const std::string& title) override { calls.push_back("title " + title); }
    void setAddress(const std::string& location) override {
        calls.push_back("address " + location);
    }
    void blinkIcon() override {
        ++blinks;
        calls.push_back("blink");
    }
    void showDocument(const std::string& text, int32_t count) override {
        calls.push_back("document");
        document = text;
        total = count;
        ++shown;
    }
    void showError(const std::string& message) override {
        calls.push_back("error " + message);
        error = message;
        ++shown;
    }
    void showLoading(const std::string& text) override { calls.push_back("loading " + text); }
    void setIcon(const std::string& image) override {
        calls.push_back("icon " + image);
        icon = image;
    }
    bool isDisposed() const override { return disposed; }

    std::vector<std::string> calls;
    std::string document;
    std::string error;
    std::string icon;
    int32_t total = -1;
    int blinks = 0;
    int shown = 0;
    bool disposed = false;
};

class FakeTimer : public DisplayTimer {
public:
    void timerExec(int32_t milliseconds, std::function<void()> task) override {
        delays.push_back(milliseconds);
        tasks.push_back(std::move(task));
    }
    // Runs one task; false when none is waiting.
    bool pumpOne() {
        if (tasks.empty())
            return false;
        auto task = std::move(tasks.front());
        tasks.pop_front();
        task();
        return true;
    }
    // Runs tasks until none is left, as the display would, with a short pause between polls.
    void pumpUntilIdle() {
        while (pumpOne()) {
            if (!tasks.empty())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::deque<std::function<void()>> tasks;
    std::vector<int32_t> delays;
};

} // namespace bryndle::test
