#include "IniFile.h"

#include <cstdio>
#include <fstream>

#include "AppWorkPath.h"

int CIniFile::Init(const char* path) {
    path_ = path ? path : "";
    return LoadFile();
}

int CIniFile::Init(const std::string& path) {
    path_ = path;
    return LoadFile();
}

int CIniFile::Init() {
    return LoadFile();
}

int CIniFile::LoadFile() {
    std::ifstream in(path_, std::ios::binary);
    if (!in) {
        return -1;
    }
    std::string line;
    std::string current;
    bool inSection = false;
    while (std::getline(in, line)) {
        const size_t open = line.find('[');
        if (open != std::string::npos) {
            const size_t close = line.find(']');
            if (close == std::string::npos) {
                return -1;
            }
            current = close > open ? line.substr(open + 1, close - open - 1) : std::string();
            sections_[current];
            inSection = true;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        if (!inSection) {
            return -1;
        }
        sections_[current][line.substr(0, equals)] = line.substr(equals + 1);
    }
    return 0;
}

uint32_t CIniFile::ReadItem(const std::string& section, const std::string& key,
                            std::string& value) {
    value.clear();
    const auto found = sections_.find(section);
    if (found == sections_.end()) {
        return kNotFound;
    }
    const auto item = found->second.find(key);
    if (item != found->second.end()) {
        value = item->second;
    }
    return value.empty() ? kNotFound : 0;
}

uint32_t CIniFile::WriteItem(const std::string& section, const std::string& key,
                             const std::string& value) {
    auto& items = sections_[section];
    const auto item = items.find(key);
    if (item == items.end()) {
        return kNotFound;
    }
    item->second = value;
    WriteFile();
    return 0;
}

int CIniFile::WriteFile() {
    std::FILE* out = std::fopen(path_.c_str(), "wb");
    if (!out) {
        return -1;
    }
    for (const auto& [name, items] : sections_) {
        std::fprintf(out, "[%s]\n", name.c_str());
        for (const auto& [key, value] : items) {
            std::fprintf(out, "%s=%s\n", key.c_str(), value.c_str());
        }
        std::fputs("\n", out);
    }
    return std::fclose(out);
}

bool ReadFATReviseSwitch(const std::string& iniPath) {
    CIniFile ini;
    ini.Init(iniPath);
    std::string value;
    if (ini.ReadItem("UserExperience", "bRevise", value) != 0) {
        return true;
    }
    return value != "0";
}

bool ReadFATReviseSwitch() {
    return ReadFATReviseSwitch(std::string(GetAppWorkPath()) + "/UIConfig.ini");
}
