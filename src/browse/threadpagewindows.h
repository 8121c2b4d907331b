#pragma once

namespace bryndle {

class ShingetsuBrowserPage;

// Joins a thread page to its windows: a new window its document asks for opens as a pop-up
// owned by the page, and its post action opens a post window whose closing shows the thread
// again.
class ThreadPageWindows {
public:
    static void attach(ShingetsuBrowserPage* page);
};

} // namespace bryndle
