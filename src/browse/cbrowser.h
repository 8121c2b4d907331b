#pragma once

#include "browse/browsercontrol.h"

namespace bryndle {

// The browser of the interface's pages: web page tabs use it as it is, thread pages derive
// from it.
class CBrowser : public BrowserControl {
    Q_OBJECT

public:
    CBrowser(QWidget* parent, int style, QWebEngineProfile* profile = nullptr,
             BrowserControlPage* spare = nullptr);
};

} // namespace bryndle
