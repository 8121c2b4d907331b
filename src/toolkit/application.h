#pragma once

#include <QApplication>

namespace bryndle {

// The toolkit's display. An error that escapes an event handler which did not guard itself
// ends the innermost EventLoop instead of unwinding through the toolkit.
class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace bryndle
