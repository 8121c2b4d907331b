#pragma once

namespace bryndle {

// The client's run inside its runtime folder, on the display the caller has made: the
// configuration and the thread cache, the main window until it is closed, then the
// configuration saved. Returns the process's exit status.
int runClient();

} // namespace bryndle
