#include "nodeconfig.h"

#include "foundation/asciitext.h"
#include "foundation/exception.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace bryndle {

namespace {

std::string trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) {
        return {};
    }
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

int parsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), isAsciiDigit)) {
        throw Exception("invalid port: " + text);
    }
    int port = std::stoi(text);
    if (port > 65535) {
        throw Exception("invalid port: " + text);
    }
    return port;
}

bool parseFlag(const std::string& text) {
    std::string value = lowerAscii(text);
    if (value == "1" || value == "yes" || value == "true" || value == "on") {
        return true;
    }
    if (value == "0" || value == "no" || value == "false" || value == "off") {
        return false;
    }
    throw Exception("invalid flag: " + text);
}

std::string resolve(const std::string& path, const std::string& base) {
    if (path.empty() || path.front() == '/') {
        return path;
    }
    return base + "/" + path;
}

} // namespace

void NodeConfig::set(const std::string& key, const std::string& value,
                     const std::string& programFolder) {
    std::string name = lowerAscii(key);
    if (name == "port") {
        port = parsePort(value);
    } else if (name == "data") {
        dataFolder = resolve(value, programFolder);
    } else if (name == "samples") {
        samples = parseFlag(value);
    }
}

void NodeConfig::applyIni(const std::string& text, const std::string& programFolder) {
    std::istringstream lines(text);
    std::string line;
    bool inNode = false;
    while (std::getline(lines, line)) {
        line = trim(line);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            size_t close = line.find(']');
            inNode =
                close != std::string::npos && lowerAscii(trim(line.substr(1, close - 1))) == "node";
            continue;
        }
        size_t equals = line.find('=');
        if (!inNode || equals == std::string::npos) {
            continue;
        }
        set(trim(line.substr(0, equals)), trim(line.substr(equals + 1)), programFolder);
    }
}

NodeConfig NodeConfig::load(const std::string& programFolder,
                            const std::function<const char*(const char*)>& environment) {
    NodeConfig config;
    config.dataFolder = programFolder;
    std::ifstream file(programFolder + "/" + kFileName, std::ios::binary);
    if (file) {
        std::ostringstream text;
        text << file.rdbuf();
        config.applyIni(text.str(), programFolder);
    }
    if (const char* port = environment("BRYNDLE_NODE_PORT"); port && *port) {
        config.port = parsePort(trim(port));
    }
    if (const char* data = environment("BRYNDLE_NODE_DATA"); data && *data) {
        config.dataFolder = data;
    }
    if (const char* samples = environment("BRYNDLE_NODE_SAMPLES"); samples && *samples) {
        config.samples = parseFlag(samples);
    }
    return config;
}

} // namespace bryndle
