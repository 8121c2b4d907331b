#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;

namespace bryndle {

// Hands a widget's key presses to a handler first; the handler returns false to refuse one.
class KeyFilter : public QObject {
public:
    KeyFilter(QObject* target, std::function<bool(QKeyEvent*)> handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool(QKeyEvent*)> handler_;
};

} // namespace bryndle
