#pragma once

#include "node/shingetsuio.h"

#include <string>

namespace bryndle {

// Asks the node to take up a thread.
class ThreadIO : public ShinGETsuIO {
public:
    using ShinGETsuIO::ShinGETsuIO;

    // Sends the registration with no listener: the node's answer is read to its end and
    // dropped. Only transport errors are raised. ("register" is a C++ keyword.)
    virtual void registerThread(const std::string& title);
};

} // namespace bryndle
