#pragma once

#include "browse/internetshortcut.h"

#include <optional>

namespace bryndle {

// What a side bar item stands for: a folder, or a bookmark with its shortcut.
struct TreeItemData {
    bool folder = false;
    std::optional<InternetShortcut> shortcut;
    // The folder could not be listed or the bookmark has no URL: shown greyed.
    bool unreadable = false;
};

} // namespace bryndle
