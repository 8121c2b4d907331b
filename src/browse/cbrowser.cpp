#include "browse/cbrowser.h"

namespace bryndle {

CBrowser::CBrowser(QWidget* parent, int style, QWebEngineProfile* profile)
    : BrowserControl(parent, style, profile) {}

} // namespace bryndle
