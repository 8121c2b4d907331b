#pragma once

#include <QMetaObject>
#include <QString>

namespace bryndle {

class InstanceChannel;
class MainForm;

// The program: reads the command line (help, version, a location to open), finds the runtime
// folder and works in it, hands the location to a client already running there or becomes the
// running client itself. Returns the exit status: 0 done, 1 failed, 2 a command line refused.
int clientMain(int argc, char** argv);

// The client's run inside its runtime folder, on the display the caller has made: the
// configuration and the thread cache, the main window until it is closed, then the
// configuration saved. `location`, when given, opens once the window is up; the channel's
// locations reach the window while it runs. Returns the process's exit status.
int runClient(const QString& location = {}, InstanceChannel* channel = nullptr);

// Passes the locations that later starts hand over to the main window, until disconnected.
QMetaObject::Connection forwardLocations(InstanceChannel& channel, MainForm& form);

} // namespace bryndle
