#include "browse/commandlistener.h"

#include "browse/address.h"
#include "browse/tabbrowser.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace bryndle {

CommandListener::CommandListener(TabBrowser* browser, QObject* parent)
    : QObject(parent), browser_(browser) {}

void CommandListener::enter(const QString& text) {
    if (text.isEmpty())
        return;
    const QString address = completeAddress(text);
    browser_->open(address);
    browser_->addHistory(address);
}

bool CommandListener::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (!field)
        return false;
    browser_->runAction([this, text = field->text()] { enter(text); });
    return true;
}

} // namespace bryndle
