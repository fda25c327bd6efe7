#pragma once

#include <cstdint>
#include <map>
#include <string>

// A small INI reader and writer: [section] headers and key=value lines, taken
// byte for byte (no trimming; a carriage return stays part of the value).
class CIniFile {
public:
    static constexpr uint32_t kNotFound = 0xFFFFFFFF;

    CIniFile() = default;
    explicit CIniFile(const char* path) : path_(path ? path : "") {}
    explicit CIniFile(const std::string& path) : path_(path) {}

    // Stores the path and loads the file; answers LoadFile's answer.
    int Init(const char* path);
    int Init(const std::string& path);
    int Init();

    // 0 when the whole file was read; -1 when it cannot be opened or a line is
    // malformed (what was read before that line stays loaded).
    int LoadFile();
    // 0 with the value, or kNotFound for a missing section or an empty value.
    uint32_t ReadItem(const std::string& section, const std::string& key, std::string& value);
    // kNotFound when the key does not exist; otherwise sets it and rewrites the file.
    uint32_t WriteItem(const std::string& section, const std::string& key,
                       const std::string& value);
    int WriteFile();

private:
    std::string path_;
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

// The first-cluster revision of deleted FAT32 entries: on unless the key
// bRevise of section UserExperience in `iniPath` is exactly "0".
bool ReadFATReviseSwitch(const std::string& iniPath);
// The same for UIConfig.ini in the work folder.
bool ReadFATReviseSwitch();
