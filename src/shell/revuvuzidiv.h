#pragma once

#include "foundation/controlbase.h"

#include <QString>
#include <QStringList>

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
    // A location handed to the client (its command line, or a later start of the program): a
    // layout with tabs opens it in one. This one has none yet and keeps them in order.
    virtual void openLocation(const QString& location) { unopened_.append(location); }

    QSplitter* outerSash() const { return outerSash_; }
    // The locations received and not opened.
    const QStringList& unopenedLocations() const { return unopened_; }

private:
    QWidget* parent_;
    QSplitter* outerSash_ = nullptr;
    QStringList unopened_;
};

} // namespace bryndle
