#include "app/client.h"

#include "config/configuration.h"
#include "shell/mainform.h"
#include "store/threadcache.h"
#include "toolkit/messagebox.h"

#include <filesystem>
#include <memory>

namespace bryndle {

namespace {

void reportError(const std::exception& error) {
    MessageBox::warning(QString::fromStdString(error.what()));
}

} // namespace

int runClient() {
    try {
        auto configuration = std::make_unique<Configuration>();
        configuration->setTemporaryDir("temporary");
        configuration->load();
        Configuration::setInstance(std::move(configuration));
        const auto& config = Configuration::instance();
        for (const auto& folder : {config.temporaryDir(), config.attachDir(), config.bookmarkDir()})
            std::filesystem::create_directories(folder);
        ThreadCache::setInstance(std::make_unique<ThreadCache>(config.threadCacheFile()));
    } catch (const std::exception& error) {
        reportError(error);
        return 1;
    }

    int status = 0;
    try {
        MainForm form;
        form.run();
    } catch (const std::exception& error) {
        // The window could not be built, or the node program could not be stopped.
        reportError(error);
        status = 1;
    }
    try {
        Configuration::instance().save();
    } catch (const std::exception& error) {
        reportError(error);
        status = 1;
    }
    return status;
}

} // namespace bryndle
