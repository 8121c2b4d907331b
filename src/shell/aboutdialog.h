#pragma once

#include <QString>

class QDialog;

namespace bryndle {

// The program's banner, its makers and credits.
class AboutDialog {
public:
    AboutDialog() = default;
    virtual ~AboutDialog() = default;

    virtual void onClose(QDialog* window);
    virtual void onOK(QDialog* window);
    // Modal: returns when the window has been closed.
    virtual void open();

    // The text the window shows.
    static QString text();
};

} // namespace bryndle
