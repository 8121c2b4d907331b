#pragma once

#include "config/tagitem.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace bryndle {

// The process-wide settings. Seven settings persist in "config.db" as the record
// "Bryndle_a_0_10"; the others are fixed at start.
class Configuration {
public:
    static constexpr const char* ProductName = "Bryndle a";
    static constexpr double ProgramVersion = 0.14;
    static constexpr double SettingsVersion = 0.1;
    static constexpr int32_t MinRecordsPerPage = 1;
    static constexpr int32_t MaxRecordsPerPage = 1000;

    explicit Configuration(std::string configFile = "config.db");
    virtual ~Configuration() = default;

    // The single instance; made by the start-up code before anything reads it.
    static Configuration& instance();
    static void setInstance(std::unique_ptr<Configuration> configuration);
    static bool hasInstance();

    // "Bryndle a 0.14"
    static std::string programTitle();
    // "Bryndle_a_0_10"
    static std::string recordName();
    // A relative path joined to the current directory; an absolute one unchanged.
    static std::string resolvePath(const std::string& path);
    static std::string joinPath(const std::string& a, const std::string& b);

    virtual std::vector<TagItem> tagItems() const;
    virtual std::string nodeProgramPath() const;
    virtual void addTag(const std::string& name);
    // Every name must be registered.
    virtual std::vector<std::string> sortTags(const std::vector<std::string>& names) const;
    virtual void countTag(const std::string& name);
    virtual std::string nodeURL() const;
    virtual std::string temporaryDir() const;
    virtual std::string bookmarkDir() const;
    virtual void setTemporaryDir(const std::string& path) { temporaryDir_ = path; }
    virtual std::string stylesheetPath() const;
    virtual std::string themeDir() const;
    virtual void save();
    virtual void load();

    // Resolved attachment folder and thread cache file.
    std::string attachDir() const { return resolvePath(attachDir_); }
    std::string threadCacheFile() const { return threadCacheFile_; }

    const std::string& nodeHost() const { return nodeHost_; }
    void setNodeHost(const std::string& host) { nodeHost_ = host; }
    uint16_t nodePort() const { return nodePort_; }
    void setNodePort(uint16_t port) { nodePort_ = port; }
    int32_t recordsPerPage() const { return recordsPerPage_; }
    void setRecordsPerPage(int32_t n) { recordsPerPage_ = n; }
    // Whether a number of records per page can be taken, wherever it is read or entered.
    static constexpr bool isValidItemsPerPage(int64_t n) {
        return n >= MinRecordsPerPage && n <= MaxRecordsPerPage;
    }
    bool controlNodeProgram() const { return controlNodeProgram_; }
    void setControlNodeProgram(bool on) { controlNodeProgram_ = on; }
    const std::string& themeRoot() const { return themeRoot_; }
    void setThemeRoot(const std::string& path) { themeRoot_ = path; }
    const std::string& themeName() const { return themeName_; }
    void setThemeName(const std::string& name) { themeName_ = name; }
    const std::string& homePage() const { return homePage_; }
    void setHomePage(const std::string& url) { homePage_ = url; }
    // The stored (unresolved) node program path.
    const std::string& nodeProgramPathSetting() const { return nodeProgramPath_; }
    void setNodeProgramPath(const std::string& path) { nodeProgramPath_ = path; }
    const std::string& userPageTemplate() const { return userPageTemplate_; }
    void setThreadCacheFile(const std::string& path) { threadCacheFile_ = path; }
    void setAttachDir(const std::string& path) { attachDir_ = path; }
    void setBookmarkDir(const std::string& path) { bookmarkDir_ = path; }
    const std::string& configFile() const { return configFile_; }

private:
    std::string configFile_;
    std::string nodeHost_ = "localhost";
    uint16_t nodePort_ = 8000;
    int32_t recordsPerPage_ = 30;
    bool controlNodeProgram_ = true;
    std::string threadCacheFile_ = "cache.db";
    std::string attachDir_ = "attach";
    std::string themeRoot_ = "template/theme";
    std::string themeName_ = "terminal";
    std::string temporaryDir_ = "temporary";
    std::string userPageTemplate_ = "template/user/index.html";
    std::string bookmarkDir_ = "Bookmark";
    std::string homePage_ = "https://duckduckgo.com/";
    std::string nodeProgramPath_ = "node/bryndle-node";
    std::map<std::string, TagItem> tags_;
};

} // namespace bryndle
