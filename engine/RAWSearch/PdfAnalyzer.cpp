#include "PdfAnalyzer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "PdfEnd.h"
#include "RawUtility.h"

namespace BruteForce {

namespace {

constexpr char kPsAdobe[] = "%!PS-Adobe";
constexpr int kPsAdobeBytes = 10;
constexpr char kIllustrator[] = "Adobe Illustrator";

// Whether `text` (up to a zero byte, at most `length` bytes) holds `key`.
bool Holds(const uint8_t* text, int length, const char* key) {
    const int end = static_cast<int>(
        strnlen(reinterpret_cast<const char*>(text), static_cast<size_t>(std::max(length, 0))));
    int found = 0;
    return PdfTitleAnalyzer::myStrstr(reinterpret_cast<const char*>(text), end, key, found);
}

}  // namespace

PdfAnalyzer::PdfAnalyzer() : deviceWalk_(std::make_unique<FilePDFAnalyser>()) {
    analyserType = kPdf;
}

PdfAnalyzer::~PdfAnalyzer() = default;

uint32_t PdfAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr)
        return 0;
    const bool pdf = std::memcmp(sector, "%PDF-", 5) == 0;
    const bool illustrator = !pdf && std::memcmp(sector, kPsAdobe, kPsAdobeBytes) == 0 &&
                             !Holds(sector, 512, " EPSF-") && Holds(sector, 512, kIllustrator);
    if (!pdf && !illustrator)
        return 0;
    info.fileType = kPdf;
    return 1;
}

CRawFileInfo* PdfAnalyzer::CreateRawFileInfo() {
    return new (std::nothrow) PdfRawFileInfo();
}

void PdfAnalyzer::PdfRawFileInfo::JudgeAI(const uint8_t* bytes, int length) {
    const int window = std::min(length, 4095);
    int at = 0;
    if (!PdfTitleAnalyzer::myStrstr(reinterpret_cast<const char*>(bytes), window, kPsAdobe, at) ||
        at >= length - 9)
        return;
    if (Holds(bytes + at, window - at, kIllustrator))
        fileType = kAi;
}

void PdfAnalyzer::PdfRawFileInfo::PdfTagDealwith(const FileProperty& p) {
    std::string tagText = GetRawFileName();
    if (!metadataPending) {
        tagText = !p.author.empty()     ? p.author
                  : !p.creator.empty()  ? p.creator
                  : !p.producer.empty() ? p.producer
                                        : std::string("unknown");
    }
    std::string name;
    for (const std::string* lead : {&p.title, &p.author, &p.creator, &p.producer}) {
        if (!lead->empty()) {
            name = *lead + p.modified;
            break;
        }
    }
    if (name.empty())
        name = p.created;
    SetRawFileName(name);
    if (!metadataPending && (!name.empty() || !p.created.empty()))
        SetRawFileTagAndValue(fileType == kAi ? RAW_FILE_TAG_AI : RAW_FILE_TAG_PDF, tagText);
    if (!p.created.empty())
        timeText = p.created;
}

void PdfAnalyzer::PdfRawFileInfo::WillBeRemove(unsigned char*, long long) {
    // What the stream read names the file the device walk measures.
    if (!metadataPending)
        PdfTagDealwith(properties);
    if (auto* owner = dynamic_cast<PdfAnalyzer*>(analyser))
        analyser = owner->DeviceWalk();
}

int PdfAnalyzer::PdfRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize <= 0 || sectorNumber < startSector)
        return 2;
    nextSectorBuffered = sectorNumber + 1 < context.windowEnd;
    const int window = nextSectorBuffered ? 2 * sectorSize : sectorSize;
    if (metadataPending && titleReader.ObtainPerSecPDFInformation(sector, sectorSize,
                                                                  nextSectorBuffered, properties)) {
        if (properties.creator.find("Illustrator") != std::string::npos)
            fileType = kAi;
        metadataPending = false;
    }
    if (aiTestPending) {
        JudgeAI(sector, window);
        aiTestPending = false;
    }
    const int64_t offset = (sectorNumber - startSector) * sectorSize;
    if (static_cast<uint64_t>(offset) > maximumSize) {
        size = 0;
        return 1;
    }
    // Another document starting here ends this one; the device walk stops
    // where that one begins.
    if (offset > 0 && std::memcmp(sector, "%PDF-", 5) == 0) {
        size = 0;
        return 1;
    }
    const uint32_t zeros = context.trailingZeroBytes;
    if (zeros < 4)
        return 2;
    const auto* kMarker = reinterpret_cast<const unsigned char*>(PdfEnd::kMarker);
    constexpr int kMarkerBytes = static_cast<int>(PdfEnd::kMarkerBytes);
    int64_t end = 0;  // after the marker, from this sector's start
    if (zeros == 32) {
        const bool previousBuffered = context.windowStart < sectorNumber - 1;
        if (previousBuffered) {
            const int past =
                RawUtility::FindMagicInBuffer(sector - 16, sectorSize, 28, kMarker, kMarkerBytes);
            if (past == 0)
                return 2;
            end = past - 16;
        } else {
            const int past =
                RawUtility::FindMagicInBuffer(sector, sectorSize, 28, kMarker, kMarkerBytes);
            end = past;
        }
    } else {
        const int past = RawUtility::FindMagicInBuffer(sector, sectorSize, int(zeros) - 4, kMarker,
                                                       kMarkerBytes);
        if (past == 0)
            return 2;
        end = past;
    }
    // Below the least size an end marker may still close an early revision;
    // the device walk, which looks at what follows it, measures the file.
    if (offset < minimumSize + extraMinimum) {
        size = 0;
        return 1;
    }
    end += static_cast<int64_t>(
        PdfEnd::LineEnd(sector + end, static_cast<uint64_t>(sectorSize - end)));
    PdfTagDealwith(properties);
    size = offset + end;
    return 1;
}

}  // namespace BruteForce
