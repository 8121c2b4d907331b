#pragma once

#include "browse/browserchildwindow.h"

#include <QVariantList>

namespace bryndle {

// The window in which the user writes a post: it shows the thread's posting form (a thread
// location with the method "post"), lets the form reach the node, and closes at the node's
// answer, the third location change; its finalizer then shows the thread again. A post the
// node refuses leaves the window on the node's page, and its back button returns to the form
// with the text that was typed into it.
class BrowserPostWindow : public BrowserChildWindow {
    Q_OBJECT

public:
    // The form, then its submission; the change after them is the node's answer.
    static constexpr int FormChanges = 2;

    BrowserPostWindow();

    // Location changes since the form was last shown, that one included.
    int changeCount() const { return changes_; }
    QPushButton* backButton() const { return backButton_; }

    // A post window on the location; the finalizer runs when it closes.
    static BrowserPostWindow* openPost(const QString& location, std::function<void()> finalizer);

private:
    void onPostLocationChanging(LocationEvent* event);
    void onCompleted();
    void updateBackButton();
    // The text typed into the form, kept as it is sent and put back when the form shows again.
    void keepTypedText();
    void restoreTypedText();
    bool showsForm() const;

    int changes_ = 0;
    QVariantList typed_;
    QPushButton* backButton_ = nullptr;
};

} // namespace bryndle
