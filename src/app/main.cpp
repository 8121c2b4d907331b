// The Qt client. Run from the build folder it works in the current directory (config.db,
// environ.db, cache.db, icons/, template/theme/ and the node program are found there); an
// installed client works in $XDG_DATA_HOME/bryndle.
#include "app/client.h"

int main(int argc, char** argv) {
    return bryndle::clientMain(argc, argv);
}
