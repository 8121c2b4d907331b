#include "browse/cbrowser.h"

namespace bryndle {

CBrowser::CBrowser(QWidget* parent, int style, QWebEngineProfile* profile,
                   BrowserControlPage* spare)
    : BrowserControl(parent, style, profile, spare) {}

} // namespace bryndle
