#include "RawFileNode.h"

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <vector>

#include "DataRunList.h"

namespace {

// 100-nanosecond units from 1601-01-01 to 1970-01-01.
constexpr int64_t kUnixEpochFileTime = 116444736000000000LL;

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t follow = 0;
        if (lead < 0x80)
            follow = 0;
        else if ((lead & 0xE0) == 0xC0 && lead >= 0xC2)
            follow = 1;
        else if ((lead & 0xF0) == 0xE0)
            follow = 2;
        else if ((lead & 0xF8) == 0xF0 && lead <= 0xF4)
            follow = 3;
        else
            return false;
        if (i + follow >= text.size())
            return false;
        for (size_t k = 1; k <= follow; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += follow + 1;
    }
    return true;
}

// `text` cut to at most `bytes` bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t bytes) {
    if (text.size() <= bytes)
        return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

}  // namespace

CRAWFileProperties* CRAWFileProperties::Create() {
    return new (std::nothrow) CRAWFileProperties();
}

void CRAWFileProperties::Destory(CRAWFileProperties* properties) {
    delete properties;
}

CRAWFileProperties::~CRAWFileProperties() {
    if (dataRuns_ != nullptr)
        dataRuns_->Release();
}

bool CRAWFileProperties::InitRawFileProperties(CRawFileInfo& record) {
    size_ = record.size > 0 ? static_cast<uint64_t>(record.size) : 0;
    timeText_ = record.timeText;
    if (dataRuns_ == nullptr)
        dataRuns_ = CreateDataRunList();
    if (dataRuns_ == nullptr)
        return false;
    const DataRun run(record.startSector, (size_ + 511) / 512);
    dataRuns_->AddDataRun(&run);
    return true;
}

void CRAWFileProperties::SetRawFileName(const char* name) {
    assert(name != nullptr && "NULL != pfileName");
    if (name == nullptr)
        return;
    name_ = CutUtf8(name, CRAWFileNode::kMostNameBytes);
}

CRAWFileNode::~CRAWFileNode() {
    CRAWFileProperties::Destory(properties_);
}

bool CRAWFileNode::Initilaize(CRawFileInfo* record, uint32_t attribute, int64_t parentId,
                              int64_t nodeId, const std::string& fileName) {
    if (record == nullptr)
        return false;
    CRAWFileProperties* properties = CRAWFileProperties::Create();
    if (properties == nullptr)
        return false;
    if (!properties->InitRawFileProperties(*record)) {
        CRAWFileProperties::Destory(properties);
        return false;
    }
    properties->SetAttribute(static_cast<uint16_t>(attribute));
    const bool folder = (attribute & kFolderAttribute) != 0;
    properties->SetRawFileName(folder ? record->GetRawFileName().c_str() : fileName.c_str());

    CRAWFileProperties::Destory(properties_);
    properties_ = properties;
    name_ = properties->GetFileName();
    if (dataRunList_ != nullptr)
        dataRunList_->Release();
    dataRunList_ = properties->GetDataRunList()->Clone();
    nodeId_ = nodeId;
    parentNodeId_ = parentId;
    return true;
}

std::string CRAWFileNode::BuildFileName(RAW_FILE_TYPE type, const std::string& prefix,
                                        int32_t number) {
    const char* extension = type < kRawFileExtensionSlots ? g_s_strFileExtName[type] : "";
    char tail[32];
    std::snprintf(tail, sizeof(tail), "%03d.%s", number, extension);
    // The prefix gives way so that the whole name fits the properties.
    const std::string usable = IsValidUtf8(prefix) ? prefix : std::string();
    if (usable.empty())
        return std::string("FILE") + tail;
    return CutUtf8(usable, kMostNameBytes - std::string(tail).size()) + tail;
}

_FILETIME CRAWFileNode::ParseTimeText(const std::string& text) {
    if (text.size() < 2)
        return 0;
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return 0;
    std::vector<std::string> fields(1);
    for (size_t i = begin; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ' || c == '-' || c == ':')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    if (fields.size() < 6)
        return 0;
    struct tm local {};
    local.tm_year = std::atoi(fields[0].c_str()) - 1900;
    local.tm_mon = std::atoi(fields[1].c_str()) - 1;
    local.tm_mday = std::atoi(fields[2].c_str());
    local.tm_hour = std::atoi(fields[3].c_str());
    local.tm_min = std::atoi(fields[4].c_str());
    local.tm_sec = std::atoi(fields[5].c_str());
    local.tm_isdst = -1;  // whatever daylight saving held on that day
    const time_t seconds = mktime(&local);
    if (seconds == static_cast<time_t>(-1))
        return 0;
    const int64_t units = static_cast<int64_t>(seconds) * 10000000 + kUnixEpochFileTime;
    return units > 0 ? static_cast<_FILETIME>(units) : 0;
}

int64_t CRAWFileNode::GetFileSize() {
    return properties_ == nullptr ? 0 : properties_->GetFileSize();
}

uint32_t CRAWFileNode::GetAttribute() {
    return properties_ == nullptr ? 0 : properties_->GetAttribute();
}

_FILETIME CRAWFileNode::GetLastAccessTime() {
    return properties_ == nullptr ? 0 : ParseTimeText(properties_->GetRawFileCreateTime());
}

int CRAWFileNode::IsDirectory() {
    return properties_ == nullptr ? 1 : (properties_->GetAttribute() & kFolderAttribute) != 0;
}
