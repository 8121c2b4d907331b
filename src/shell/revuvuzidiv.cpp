#include "shell/revuvuzidiv.h"

#include <QLayout>
#include <QSplitter>
#include <QWidget>

namespace bryndle {

RevuVuzidiv::RevuVuzidiv(QWidget* parent) : ControlBase("RevuVuzidiv"), parent_(parent) {}

void RevuVuzidiv::createControls() {
    outerSash_ = new QSplitter(Qt::Horizontal, parent_);
    outerSash_->setObjectName(QStringLiteral("outerSash"));
    outerSash_->setHandleWidth(3);
    if (QLayout* layout = parent_->layout())
        layout->addWidget(outerSash_);
}

} // namespace bryndle
