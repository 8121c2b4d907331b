#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace bryndle {

// Where the client keeps config.db, environ.db, cache.db, its folders and the local node's data,
// and reads icons/, template/theme/ and node/bryndle-node from. Run from the build folder, that
// is the current directory. An installed client cannot write beside its program: its folder is
// $XDG_DATA_HOME/bryndle (~/.local/share/bryndle), with links to the installed icons, themes and
// local node, so that the same relative paths work in both.
class RuntimeFolder {
public:
    using Environment = std::function<const char*(const char*)>;

    // The installed program is <prefix>/<bin>/bryndle, its data <prefix>/<dataFromBin> and its
    // node <prefix>/<libexecFromBin>, both relative to the program's folder.
    struct Layout {
        std::string dataFromBin;
        std::string libexecFromBin;
    };
    // The layout `cmake --install` makes.
    static Layout installedLayout();

    // The folder for the program at `program` (its real path): installed when the installed
    // themes are found beside it, else `currentDir`.
    static RuntimeFolder locate(const std::filesystem::path& program, const Layout& layout,
                                const Environment& environment,
                                const std::filesystem::path& currentDir);
    // The same for the running program, its environment and current directory.
    static RuntimeFolder locate();

    bool installed() const { return installed_; }
    const std::filesystem::path& path() const { return path_; }
    const std::filesystem::path& dataDir() const { return dataDir_; }
    const std::filesystem::path& nodeProgram() const { return nodeProgram_; }

    // Installed: creates the folder, links icons/, template/theme and node/bryndle-node to the
    // installed ones (a link of an earlier installation is replaced; a real file or folder the
    // user put there is kept). Raises std::filesystem::filesystem_error.
    void prepare() const;
    // Installed: the local node keeps node.db in node/ here, unless BRYNDLE_NODE_DATA says
    // otherwise. Changes the process's environment.
    void exportNodeData() const;

private:
    bool installed_ = false;
    std::filesystem::path path_;
    std::filesystem::path dataDir_;
    std::filesystem::path nodeProgram_;
};

} // namespace bryndle
