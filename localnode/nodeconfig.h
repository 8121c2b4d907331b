#pragma once

#include <functional>
#include <string>

namespace bryndle {

// Settings of the local node: the file "bryndle-node.ini" in the program's folder, section
// [node] with the keys port, data and samples; the environment variables BRYNDLE_NODE_PORT,
// BRYNDLE_NODE_DATA and BRYNDLE_NODE_SAMPLES override them.
class NodeConfig {
public:
    static constexpr const char* kFileName = "bryndle-node.ini";
    static constexpr int kDefaultPort = 8000;

    // port 0: any free port (the chosen one is written to the port file).
    int port = kDefaultPort;
    // Folder of the store and the port file.
    std::string dataFolder = ".";
    // Whether an empty store gets the sample threads.
    bool samples = true;

    // Settings from the program folder's file and the given environment lookup.
    static NodeConfig load(const std::string& programFolder,
                           const std::function<const char*(const char*)>& environment);
    // Applies "key = value" lines of the [node] section of an INI text.
    void applyIni(const std::string& text, const std::string& programFolder);

    std::string storePath() const { return dataFolder + "/node.db"; }
    std::string portFilePath() const { return dataFolder + "/node.port"; }

private:
    void set(const std::string& key, const std::string& value, const std::string& programFolder);
};

} // namespace bryndle
