#pragma once

#include "shell/onelineeditdialog.h"

namespace bryndle {

// Asks for a new thread's name: at most 30 characters.
class NewThreadEditDialog : public OneLineEditDialog {
public:
    using OneLineEditDialog::OneLineEditDialog;
    int textLimit() const override { return 30; }
};

} // namespace bryndle
