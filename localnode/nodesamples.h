#pragma once

#include "nodestore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bryndle {

// Sample threads for a first run, with stamps spread over the days before now.
struct NodeSamples {
    // Titles of threads that are registered without records.
    static std::vector<std::string> emptyThreads();
    // Every sample record with its thread's title.
    static std::vector<std::pair<std::string, NodeRecord>> records(int64_t now);
    // Puts the samples into the store.
    static void seed(NodeStore& store, int64_t now);
    // The PNG image of the attachment sample.
    static std::string_view png();
};

} // namespace bryndle
