#pragma once

#include "foundation/controlbase.h"

#include <QString>

#include <string>

namespace bryndle {

// What fills the main window: the window builds it through a factory, so the window's layer
// knows only this face of it. Like every control that keeps state, it has a record of its own.
class MainComposite : public ControlBase {
public:
    // Selection actions of the new-threads and subscribed-threads items.
    virtual void onNewThreads() = 0;
    virtual void onSubscribedThreads() = 0;
    // The main window is closing: the content stores its state.
    virtual void onExit() = 0;
    // Builds the content into its parent; once, before the window opens.
    virtual void createControls() = 0;
    // A location handed to the client (its command line, or a later start of the program).
    virtual void openLocation(const QString& location) = 0;

protected:
    explicit MainComposite(const std::string& recordName) : ControlBase(recordName) {}
};

} // namespace bryndle
