#pragma once

namespace bryndle {

// Writes the configuration to its file now, so that a setting the user has just changed
// (options, theme, records per page, home page) survives a crash. A failure is shown in a
// message box; false then.
bool saveConfiguration();

} // namespace bryndle
