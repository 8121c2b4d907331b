// The Qt client: run inside its runtime folder (config.db, environ.db, cache.db, icons/,
// template/theme/ and the node program are found relative to the current directory).
#include "app/client.h"
#include "foundation/variant.h"
#include "toolkit/application.h"

int main(int argc, char** argv) {
    bryndle::sharedNull();
    bryndle::Application application(argc, argv);
    bryndle::Application::setApplicationName(QStringLiteral("bryndle"));
    return bryndle::runClient();
}
