// The Qt client: run inside its runtime folder (config.db, environ.db, cache.db, icons/,
// template/theme/ and the node program are found relative to the current directory).
#include "config/configuration.h"
#include "foundation/variant.h"
#include "shell/mainform.h"
#include "store/threadcache.h"
#include "toolkit/application.h"
#include "toolkit/messagebox.h"

#include <filesystem>
#include <memory>

using namespace bryndle;

namespace {

void reportError(const std::exception& error) {
    MessageBox::warning(QString::fromStdString(error.what()));
}

} // namespace

int main(int argc, char** argv) {
    sharedNull();
    Application application(argc, argv);
    Application::setApplicationName(QStringLiteral("bryndle"));

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
