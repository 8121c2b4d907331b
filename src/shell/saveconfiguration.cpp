#include "shell/saveconfiguration.h"

#include "config/configuration.h"
#include "toolkit/messagebox.h"

#include <exception>

namespace bryndle {

bool saveConfiguration() {
    try {
        Configuration::instance().save();
        return true;
    } catch (const std::exception& error) {
        MessageBox::warning(QString::fromStdString(error.what()));
        return false;
    }
}

} // namespace bryndle
