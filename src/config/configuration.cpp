#include "config/configuration.h"

#include "foundation/decimal.h"
#include "foundation/sqliteserializer.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <stdexcept>

namespace bryndle {

namespace {
std::unique_ptr<Configuration>& instanceSlot() {
    static std::unique_ptr<Configuration> instance;
    return instance;
}
} // namespace

Configuration::Configuration(std::string configFile) : configFile_(std::move(configFile)) {}

Configuration& Configuration::instance() {
    if (!instanceSlot())
        throw std::logic_error("the configuration has not been made yet");
    return *instanceSlot();
}

void Configuration::setInstance(std::unique_ptr<Configuration> configuration) {
    instanceSlot() = std::move(configuration);
}

bool Configuration::hasInstance() {
    return instanceSlot() != nullptr;
}

std::string Configuration::programTitle() {
    return std::string(ProductName) + " " + formatFixed(ProgramVersion, 2);
}

std::string Configuration::recordName() {
    std::string out = std::string(ProductName) + " " + formatFixed(SettingsVersion, 2);
    std::replace(out.begin(), out.end(), ' ', '_');
    std::replace(out.begin(), out.end(), '.', '_');
    return out;
}

std::string Configuration::joinPath(const std::string& a, const std::string& b) {
    if (a.empty())
        return b;
    if (a.back() == '/')
        return a + b;
    return a + "/" + b;
}

std::string Configuration::resolvePath(const std::string& path) {
    if (!path.empty() && path.front() == '/')
        return path;
    return joinPath(std::filesystem::current_path().string(), path);
}

std::vector<TagItem> Configuration::tagItems() const {
    std::vector<TagItem> items;
    for (const auto& [name, item] : tags_)
        items.push_back(item);
    return items;
}

std::string Configuration::nodeProgramPath() const {
    return resolvePath(nodeProgramPath_);
}

void Configuration::addTag(const std::string& name) {
    if (tags_.count(name))
        return;
    // The empty tag (no filter) always sorts first.
    int32_t count = name.empty() ? std::numeric_limits<int32_t>::max() : 0;
    tags_.emplace(name, TagItem(name, count));
}

std::vector<std::string> Configuration::sortTags(const std::vector<std::string>& names) const {
    std::vector<TagItem> items;
    for (const auto& name : names) {
        auto it = tags_.find(name);
        if (it == tags_.end())
            throw std::invalid_argument("tag not registered: " + name);
        items.push_back(it->second);
    }
    std::stable_sort(items.begin(), items.end());
    std::vector<std::string> sorted;
    for (const auto& item : items)
        sorted.push_back(item.name());
    return sorted;
}

void Configuration::countTag(const std::string& name) {
    auto it = tags_.find(name);
    if (it != tags_.end())
        it->second.countUp();
}

std::string Configuration::nodeURL() const {
    return "http://" + nodeHost_ + ":" + std::to_string(nodePort_) + "/";
}

std::string Configuration::temporaryDir() const {
    return resolvePath(temporaryDir_);
}

std::string Configuration::bookmarkDir() const {
    return resolvePath(bookmarkDir_);
}

std::string Configuration::stylesheetPath() const {
    return joinPath(themeDir(), "style.xsl");
}

std::string Configuration::themeDir() const {
    return joinPath(resolvePath(themeRoot_), themeName_);
}

void Configuration::save() {
    auto record = makeArray(nodeHost_, static_cast<int64_t>(nodePort_),
                            static_cast<int64_t>(controlNodeProgram_ ? 1 : 0), themeName_,
                            static_cast<int64_t>(recordsPerPage_), homePage_, nodeProgramPath_);
    SQLiteSerializer(configFile_, recordName()).save(*record);
}

void Configuration::load() {
    VArrayPtr record;
    try {
        record = SQLiteSerializer(configFile_, recordName()).load();
    } catch (const std::exception&) {
        return; // nothing stored yet: keep the defaults
    }
    if (record->size() != 7)
        return;
    auto values = record->values();
    // Convert everything first, so that a value of the wrong kind leaves all defaults in place
    // instead of ending the start-up.
    try {
        std::string host = values[0]->toString();
        auto port = static_cast<uint16_t>(values[1]->toLong());
        bool control = values[2]->toLong() == 1;
        std::string theme = values[3]->toString();
        const int64_t storedPerPage = values[4]->toLong();
        std::string home = values[5]->toString();
        std::string program = values[6]->toString();
        nodeHost_ = host;
        nodePort_ = port;
        controlNodeProgram_ = control;
        themeName_ = theme;
        // Paging divides by it: a stored value out of range keeps the default.
        if (isValidItemsPerPage(storedPerPage))
            recordsPerPage_ = static_cast<int32_t>(storedPerPage);
        homePage_ = home;
        nodeProgramPath_ = program;
    } catch (const std::exception&) {
    }
}

} // namespace bryndle
