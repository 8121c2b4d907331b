#include "app/runtimefolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace bryndle {

namespace fs = std::filesystem;

namespace {

std::string homeFolder(const RuntimeFolder::Environment& environment) {
    if (const char* home = environment("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

fs::path userDataFolder(const RuntimeFolder::Environment& environment) {
    // A relative value is to be ignored, as the base directory rules say.
    if (const char* data = environment("XDG_DATA_HOME"); data && *data == '/')
        return data;
    return fs::path(homeFolder(environment)) / ".local" / "share";
}

// `link` points to `target` afterwards, unless the user put a file or folder of their own there.
void linkTo(const fs::path& link, const fs::path& target) {
    fs::create_directories(link.parent_path());
    const fs::file_status status = fs::symlink_status(link);
    if (fs::exists(status) && !fs::is_symlink(status))
        return;
    if (fs::is_symlink(status)) {
        if (fs::read_symlink(link) == target)
            return;
        fs::remove(link);
    }
    fs::create_symlink(target, link);
}

} // namespace

RuntimeFolder::Layout RuntimeFolder::installedLayout() {
    return {BRYNDLE_DATA_FROM_BIN, BRYNDLE_LIBEXEC_FROM_BIN};
}

RuntimeFolder RuntimeFolder::locate(const fs::path& program, const Layout& layout,
                                    const Environment& environment, const fs::path& currentDir) {
    RuntimeFolder folder;
    folder.path_ = currentDir;
    const fs::path bin = program.parent_path();
    const fs::path data = (bin / layout.dataFromBin).lexically_normal();
    std::error_code error;
    if (!fs::is_directory(data / "template" / "theme", error))
        return folder;
    folder.installed_ = true;
    folder.dataDir_ = data;
    folder.nodeProgram_ = (bin / layout.libexecFromBin / "bryndle-node").lexically_normal();
    folder.path_ = userDataFolder(environment) / "bryndle";
    return folder;
}

RuntimeFolder RuntimeFolder::locate() {
    std::error_code error;
    fs::path program = fs::read_symlink("/proc/self/exe", error);
    return locate(
        error ? fs::path() : program, installedLayout(),
        [](const char* name) { return std::getenv(name); }, fs::current_path());
}

void RuntimeFolder::prepare() const {
    if (!installed_)
        return;
    fs::create_directories(path_);
    linkTo(path_ / "icons", dataDir_ / "icons");
    linkTo(path_ / "template" / "theme", dataDir_ / "template" / "theme");
    linkTo(path_ / "node" / "bryndle-node", nodeProgram_);
}

void RuntimeFolder::exportNodeData() const {
    if (installed_)
        ::setenv("BRYNDLE_NODE_DATA", (path_ / "node").c_str(), 0);
}

} // namespace bryndle
