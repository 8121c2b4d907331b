#pragma once

#include <QObject>

namespace bryndle {

class TabBrowser;

// The address field's key listener: Enter opens the typed address in a new tab and puts it at
// the top of the history.
class CommandListener : public QObject {
    Q_OBJECT

public:
    CommandListener(TabBrowser* browser, QObject* parent);

    // Opens the text as Enter does; an empty text does nothing.
    void enter(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TabBrowser* browser_;
};

} // namespace bryndle
