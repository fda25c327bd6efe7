#include "FCPEvtAnalyser.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "ByteOrder.h"
#include "KvUtf8.h"

namespace BruteForce {

namespace {

constexpr uint64_t kSchemaBytes = 34;
constexpr uint64_t kPayloadBytes = 200;
constexpr size_t kLongestTableName = 50;
constexpr uint32_t kFewestContactCells = 26;
constexpr uint32_t kMostContactCells = 34;
constexpr uint32_t kLongestRun = 5;

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

}  // namespace

uint32_t CFCPEvtAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr || std::memcmp(sector, "SQLite format 3", 15) != 0)
        return 0;
    // Page sizes of 1024 to 64512 in steps of 1024; UTF-8 or UTF-16 text.
    if (sector[17] != 0 || sector[16] == 0 || sector[16] % 4 != 0 || sector[59] > 3)
        return 0;
    info.fileType = kDatabase;
    return 1;
}

CRawFileInfo* CFCPEvtAnalyser::CreateRawFileInfo() {
    return new (std::nothrow) CFCPEvtFileInfo();
}

bool CFCPEvtAnalyser::CFCPEvtFileInfo::JudeMuseSuffix(const uint8_t* cell, uint64_t cellBytes,
                                                      const uint8_t* content,
                                                      uint64_t contentBytes) {
    std::string text;
    if (cellBytes >= kSchemaBytes && ConvertText("UTF-16LE", "UTF-8", cell, kSchemaBytes, text) &&
        StartsWith(text, "tableactiveactive")) {
        fileType = kMuse;
        return true;
    }
    const uint64_t length = std::min(contentBytes, kPayloadBytes);
    const std::string schema(reinterpret_cast<const char*>(content),
                             strnlen(reinterpret_cast<const char*>(content), length));
    if (schema.find("payload") != std::string::npos &&
        schema.find("metadata") != std::string::npos) {
        fileType = kSketch;
        return true;
    }
    return false;
}

bool CFCPEvtAnalyser::CFCPEvtFileInfo::AnalyseABCDDBFileType(const uint8_t* page, uint32_t pageSize,
                                                             uint32_t cells) {
    if (uint64_t{cells} * 2 + 8 > pageSize)
        return false;
    int tables = 0;
    for (uint32_t i = 0; i < cells; ++i) {
        const uint32_t p = ReadBE16(page + 8 + 2 * i);
        if (uint64_t{p} + 3 > pageSize)
            continue;
        const uint32_t h = page[p + 2];
        if (page[p] <= h)
            continue;
        const uint64_t length = page[p] - h;
        const uint64_t at = uint64_t{p} + h + 2;
        if (at + length > pageSize)
            continue;
        if (length > kLongestTableName)
            return false;
        const std::string text(reinterpret_cast<const char*>(page + at), length);
        if ((StartsWith(text, "ABCDRecord") || StartsWith(text, "ABCDPhoneNumber")) &&
            ++tables == 2)
            return true;
    }
    return false;
}

void CFCPEvtAnalyser::CFCPEvtFileInfo::EndSearch(uint64_t at, long long sectorNumber) {
    uint64_t end = at - std::min<uint64_t>(at, uint64_t{runCount} * pageSize);
    if (schemaTestPending)
        end += uint64_t{freelistPages} * pageSize;
    end = std::min(end, kLargestSize);
    if (fileType == kSketch) {
        const uint64_t stored = uint64_t{pageSize} * databasePages;
        const uint64_t slack = uint64_t{pageSize} * 3;
        if (stored + slack >= end && stored <= end + slack)
            end = stored;
    }
    size = static_cast<int64_t>(end);
    char name[64];
    std::snprintf(name, sizeof(name), "%lld-%lld_", static_cast<long long>(startSector),
                  sectorNumber);
    SetRawFileName(name);
}

int CFCPEvtAnalyser::CFCPEvtFileInfo::GuessCalculate(const uint8_t* page, uint64_t at,
                                                     long long sectorNumber) {
    const uint8_t b = page[0];
    switch (b) {
        case 1:
        case 2:
        case 5:
        case 8:
        case 10:
        case 13:
        case 65:
            // A b-tree page: the database goes on.
            chainStarted = 0;
            runCount = 0;
            return 2;
        case 0:
            break;
        default:
            // Text, other data or a page type no database has.
            EndSearch(at, sectorNumber);
            return 1;
    }
    // A freelist or overflow page: byte 3 is the low byte of the next link.
    const uint32_t link = page[3];
    if (chainStarted == 0) {
        if (link != 0) {
            chainStarted = 1;
            lastLinkByte = link;
            ++runCount;
        }
    } else if (link == lastLinkByte + 1) {
        runCount = 0;
        lastLinkByte = link;
    } else {
        lastLinkByte = link;
        if (runCount >= kLongestRun) {
            EndSearch(at, sectorNumber);
            return 1;
        }
        runCount = page[4] == 0 ? runCount + 1 : 0;
    }
    return 2;
}

int CFCPEvtAnalyser::CFCPEvtFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                                  long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0 || sectorNumber < startSector)
        return 2;
    if (!headerRead_) {
        headerRead_ = true;
        pageSize = ReadBE16(sector + 16);
        databasePages = ReadBE32(sector + 28);
        freelistPages = ReadBE32(sector + 36);
        contentStart = ReadBE16(sector + 105);
        firstCell = ReadBE16(sector + 108);
        if (pageSize == 0) {
            size = 0;
            return 1;
        }
        return 2;
    }
    const uint64_t s = static_cast<uint64_t>(sectorSize);
    offset = static_cast<uint64_t>(sectorNumber - startSector) * s;
    const uint64_t inMemory =
        static_cast<uint64_t>(std::max<long long>(context.windowEnd - sectorNumber, 1)) * s;
    if (schemaTestPending && offset <= firstCell && firstCell < offset + s &&
        sectorNumber + 2 <= context.windowEnd) {
        const uint64_t cell = firstCell - offset + 10;
        const uint64_t content = std::max<uint64_t>(contentStart, offset) - offset + 10;
        if (cell < inMemory && content < inMemory &&
            JudeMuseSuffix(sector + cell, inMemory - cell, sector + content, inMemory - content))
            schemaTestPending = false;
    }
    // Every page that starts in this sector.
    for (uint64_t at = (offset + pageSize - 1) / pageSize * pageSize; at < offset + s;
         at += pageSize) {
        if (at == 0)
            continue;
        const uint8_t* page = sector + (at - offset);
        const uint32_t cells = ReadBE16(page + 3);
        if (cells >= kFewestContactCells && cells <= kMostContactCells &&
            at - offset + pageSize <= inMemory && AnalyseABCDDBFileType(page, pageSize, cells))
            fileType = kContacts;
        if (at > kLargestSize) {
            size = 0;
            return 1;
        }
        if (GuessCalculate(page, at, sectorNumber) == 1)
            return 1;
    }
    return 2;
}

}  // namespace BruteForce
