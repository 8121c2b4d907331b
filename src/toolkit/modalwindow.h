#pragma once

class QDialog;

namespace bryndle {

// Opens the window application-modal and dispatches events until it is closed. An error of a
// handler that ran meanwhile closes the window and is raised here. While the program is ending
// (EventLoop::terminateAll) it returns at once without showing the window.
void runModal(QDialog& window);

} // namespace bryndle
