#pragma once

#include "foundation/controlbase.h"

class QSplitter;
class QWidget;

namespace bryndle {

// The main window's content. For now only its outer sash; the side bar, thread table and tab
// browser join it later.
class RevuVuzidiv : public ControlBase {
public:
    explicit RevuVuzidiv(QWidget* parent);

    virtual void onNewThreads() {}
    virtual void onSubscribedThreads() {}
    // The main window is closing.
    virtual void onExit() {}
    // Builds the layout into the parent; once, before the window opens.
    virtual void createControls();

    QSplitter* outerSash() const { return outerSash_; }

private:
    QWidget* parent_;
    QSplitter* outerSash_ = nullptr;
};

} // namespace bryndle
