#include "store/threadmessage.h"

namespace bryndle {

void ThreadMessage::clear() {
    title.clear();
    md5.clear();
    message.clear();
    name.clear();
    mail.clear();
    pubkey.clear();
    trip.clear();
    sign.clear();
    ext.clear();
}

} // namespace bryndle
