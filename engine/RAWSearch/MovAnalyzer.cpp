#include "MovAnalyzer.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "RawUtility.h"
#include "StreamReach.h"

namespace BruteForce {

namespace {

enum : RAW_FILE_TYPE {
    kFreeTest = 0xFFFFFFFF,
    kCompatibleMov = 0xFFFFFFFE,
    kCompatibleFree = 0xFFFFFFFD
};

// Atom header: size, type and a 64-bit size.
constexpr int64_t kAtomHeaderBytes = 16;
constexpr int64_t kExifSearchBytes = 1024;
constexpr int kTextBytes = 63;

bool SameIgnoringCase(const uint8_t* bytes, const char* text) {
    for (size_t i = 0; text[i] != '\0'; ++i) {
        if (std::tolower(bytes[i]) != std::tolower(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

bool Is(const uint8_t* bytes, const char* text) {
    return std::memcmp(bytes, text, std::strlen(text)) == 0;
}

// Up to `length` bytes at `bytes` (to a zero byte), optionally upper-cased,
// cleaned and validity-tested; "" when invalid.
std::string NameText(const uint8_t* bytes, size_t length, bool upper) {
    std::string text(reinterpret_cast<const char*>(bytes),
                     std::find(bytes, bytes + length, uint8_t{0}) - bytes);
    if (upper) {
        for (char& c : text) {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
    }
    text = ApiStrFilterBadFileName(text);
    return ApiIsInvalidCharInFileName(text) ? std::string() : text;
}

bool IsAcceptedAtom(const uint8_t* type) {
    static constexpr const char* kTypes[] = {"wide", "uuid", "udta", "trak", "skip", "pnot", "pdin",
                                             "free", "ftyp", "meoc", "meta", "mfra", "moof", "moov",
                                             "mvex", "mvhd", "mdat", "TSCM", "TSCR"};
    return std::any_of(std::begin(kTypes), std::end(kTypes),
                       [type](const char* accepted) { return Is(type, accepted); });
}

RAW_FILE_TYPE CompatibleBrands(const uint8_t* sector, RAW_FILE_TYPE fallback) {
    const int64_t boxSize = ReadBE32(sector);
    if (boxSize - 16 >= 320)
        return fallback;
    const int64_t brands = std::max<int64_t>(boxSize - 16, 0) / 4;
    char text[512] = {};
    std::memcpy(text, sector + 16, static_cast<size_t>(brands * 4));
    const std::string list(text);
    if (list.find("M4A") != std::string::npos)
        return MovAnalyzer::kM4a;
    if (list.find("M4V") != std::string::npos)
        return MovAnalyzer::kM4v;
    if (list.find("avc1") != std::string::npos)
        return kFreeTest;
    if (list.find("mp41") != std::string::npos)
        return brands == 1 ? MovAnalyzer::kM4a : kFreeTest;
    return fallback;
}

}  // namespace

RAW_FILE_TYPE MovAnalyzer::FreeTest(const uint8_t* sector) {
    return SameIgnoringCase(sector + 28, "free") ? kTrec : kMp4;
}

RAW_FILE_TYPE MovAnalyzer::BrandType(const uint8_t* sector) {
    const uint8_t* brand = sector + 8;
    RAW_FILE_TYPE type = 0;
    if (Is(brand, "3gp") || Is(brand, "3ge") || Is(brand, "3gs") || Is(brand, "3g2") ||
        Is(brand, "KDDI")) {
        type = k3gp;
    } else if (Is(brand, "M4A")) {
        type = kM4a;
    } else if (Is(brand, "M4V")) {
        type = kM4v;
    } else if (Is(brand, "qt ")) {
        type = kMov;
    } else if (Is(brand, "F4A") || Is(brand, "F4B") || Is(brand, "F4P") || Is(brand, "F4V") ||
               Is(brand, "NDA") || Is(brand, "MSNV") || Is(brand, "msnv") || Is(brand, "mmp4") ||
               Is(brand, "avc1") ||
               ((Is(brand, "NDS") || Is(brand, "NDX")) && std::strchr("CHMPS", brand[3]) &&
                brand[3] != 0)) {
        type = kFreeTest;
    } else if (Is(brand, "iso2") || Is(brand, "isom")) {
        type = CompatibleBrands(sector, kMov);
    } else if (Is(brand, "mp4")) {
        type = CompatibleBrands(sector, kFreeTest);
    }
    return type == kFreeTest ? FreeTest(sector) : type;
}

uint32_t MovAnalyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr || !Is(sector + 4, "ftyp"))
        return 0;
    const uint32_t boxSize = ReadBE32(sector);
    if (boxSize < 16 || boxSize > 83)
        return 0;
    RAW_FILE_TYPE type = BrandType(sector);
    if (type == 0) {
        static constexpr const char* kLeftToOthers[] = {"ftypisom", "ftyp3gp4", "ftyp3g2a",
                                                        "ftypmmp4", "ftypM4A ", "ftypM4V ",
                                                        "ftypmp41", "ftypmp42"};
        for (const char* brand : kLeftToOthers) {
            if (SameIgnoringCase(sector + 4, brand))
                return 0;
        }
        type = kMov;
    }
    info.fileType = type;
    return 1;
}

uint32_t C3GPAnalyser::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    assert(sector != nullptr && "NULL != pBuffer");
    if (sector == nullptr || !Is(sector + 4, "ftyp"))
        return 0;
    if (!SameIgnoringCase(sector + 4, "ftyp3g2a") && !SameIgnoringCase(sector + 4, "ftyp3gp") &&
        !SameIgnoringCase(sector + 4, "ftypmmp4")) {
        return 0;
    }
    info.fileType = k3gp;
    info.size = 0;
    return 1;
}

uint32_t Mp4Analyzer::AnalyseBuffer(unsigned char* sector, CRawFileInfo& info) {
    if (sector == nullptr || !Is(sector + 4, "ftyp"))
        return 0;
    static constexpr const char* kBrands[] = {"ftypisom", "ftypmmp4", "ftypM4A", "ftypM4V",
                                              "ftypmp4"};
    for (const char* brand : kBrands) {
        if (!SameIgnoringCase(sector + 4, brand))
            continue;
        const std::string matched(reinterpret_cast<const char*>(sector + 4), std::strlen(brand));
        if (matched.find("M4A") != std::string::npos)
            info.fileType = kM4a;
        else if (matched.find("M4V") != std::string::npos)
            info.fileType = kM4v;
        else
            info.fileType = FreeTest(sector);
        return 1;
    }
    return 0;
}

CRawFileInfo* MovAnalyzer::CreateRawFileInfo() {
    auto* record = new (std::nothrow) MovRawFileInfo(HeaderAnalyser());
    if (record != nullptr)
        record->fileType = InitialType();
    return record;
}

void MovAnalyzer::MovRawFileInfo::WillBeRemove(unsigned char*, long long sectorNumber) {
    EndStep(nullptr, sectorNumber, nullptr);
    analyser = headerAnalyser_;
}

int MovAnalyzer::MovRawFileInfo::CalcRawSize(unsigned char* sector, int sectorSize_,
                                             long long sectorNumber, SearchContext& context) {
    if (sector == nullptr || sectorSize_ <= 0)
        return 2;
    if (sectorNumber < startSector) {
        if (atomCount == 0)
            return 2;
        EndStep(sector, sectorNumber, &context);
        return 1;
    }
    const int64_t sectorOffset = (sectorNumber - startSector) * sectorSize_;
    if (sectorNumber - startSector < nextAtomOffset / sectorSize_)
        return 2;
    if (nextAtomOffset == 0 && Is(sector + 8, "iso"))
        isoFlag = 1;
    sectorSize = sectorSize_;
    const uint8_t* bufferEnd = sector + (context.windowEnd - sectorNumber) * sectorSize_;
    for (;;) {
        const int64_t at = nextAtomOffset - sectorOffset;
        const StreamReach reach = ReachOf(at, kAtomHeaderBytes, sectorSize_, sectorNumber, context);
        if (reach == StreamReach::kLater)
            return 2;
        if (reach == StreamReach::kGone)
            break;
        const uint8_t* atom = sector + at;
        int64_t atomSize = ReadBE32(atom);
        if (atomSize < 8 && atomSize != 1)
            break;
        const uint8_t* type = atom + 4;
        if (!IsAcceptedAtom(type))
            break;
        if (atomSize == 1 && (Is(type, "mdat") || Is(type, "TSCM") || Is(type, "TSCR"))) {
            const uint64_t large = ReadBE64(atom + 8);
            if (large < 1 || large > static_cast<uint64_t>(INT64_MAX - nextAtomOffset))
                break;
            atomSize = static_cast<int64_t>(large);
        }
        if (Is(type, "ftyp") && atomCount > 1)
            break;
        ++atomCount;
        nextAtomOffset += atomSize;
        size = nextAtomOffset;
        if (Is(type, "moov")) {
            ++movieHeaderCount;
            if (atom + kExifSearchBytes <= bufferEnd)
                ReadExif(atom, bufferEnd);
        }
        if (nextAtomOffset - sectorOffset >= sectorSize_)
            return 2;
    }
    EndStep(sector, sectorNumber, &context);
    return 1;
}

void MovAnalyzer::MovRawFileInfo::EndStep(const uint8_t* sector, long long sectorNumber,
                                          const SearchContext* context) {
    if (atomCount < 2) {
        size = 0;
        return;
    }
    if (fileType == kMov && movieHeaderCount == 1 && isoFlag != 0)
        fileType = kMp4;
    else if (make.empty() && sector != nullptr && context != nullptr)
        FindDeviceName(sector, sectorNumber, *context);
    if (!model.empty())
        SetRawFileName(model);
    else if (make.empty())
        SetRawFileTagAndValue(RAW_FILE_TAG_NONE, std::string());
    size = nextAtomOffset;
}

void MovAnalyzer::MovRawFileInfo::ReadExif(const uint8_t* atom, const uint8_t* end) {
    const uint8_t* tiff = nullptr;
    for (int64_t at = 0; at <= kExifSearchBytes - 4; ++at) {
        if (Is(atom + at, "Exif")) {
            tiff = atom + at + 6;
            break;
        }
    }
    if (tiff == nullptr || tiff + 8 > end || (!Is(tiff, "II") && !Is(tiff, "MM")))
        return;
    littleEndian = Is(tiff, "II") ? 1 : 0;
    auto read32 = [this](const uint8_t* p) { return RawUtility::EXIF_Get32s(p, littleEndian); };
    auto read16 = [this](const uint8_t* p) { return RawUtility::EXIF_Get16s(p, littleEndian); };
    // Every read below stays before `end`: the directory, its entries and
    // the texts they point at.
    const int64_t room = end - tiff;
    const int64_t directory = read32(tiff + 4);
    if (directory + 2 > room)
        return;
    const int64_t count = read16(tiff + directory);
    if (count < 1 || count > 512 || directory + 2 + 12 * count > room)
        return;
    for (int64_t n = 0; n < count; ++n) {
        const uint8_t* entry = tiff + directory + 2 + 12 * n;
        const uint16_t tag = read16(entry);
        const int64_t value = read32(entry + 8);
        if (value + kTextBytes > room)
            continue;
        const uint8_t* text = tiff + value;
        if (tag == 271) {
            make = NameText(text, kTextBytes, true);
            if (!make.empty() && make.size() <= 30)
                SetRawFileTagAndValue(RAW_FILE_TAG_MOVIE, make);
            else
                make.clear();
        } else if (tag == 272) {
            model = NameText(text, kTextBytes, true);
            if (make.empty() && !model.empty()) {
                make = model;
                SetRawFileTagAndValue(RAW_FILE_TAG_MOVIE, make);
                model.clear();
            }
        } else if (tag == 306) {
            const std::string date(reinterpret_cast<const char*>(text),
                                   std::find(text, text + kTextBytes, uint8_t{0}) - text);
            if (date.size() >= 10 && date.size() <= 40)
                timeText = date;
        }
    }
}

void MovAnalyzer::MovRawFileInfo::FindDeviceName(const uint8_t* sector, long long sectorNumber,
                                                 const SearchContext& context) {
    if (sectorNumber - 2 < context.windowStart)
        return;
    auto find = [](const uint8_t* from, int64_t length, auto accept) -> const uint8_t* {
        for (int64_t at = 0; at < length; ++at) {
            if (accept(from + at))
                return from + at;
        }
        return nullptr;
    };
    const uint8_t* near = sector - 16;
    const bool fragments = find(near, 512, [](const uint8_t* p) { return Is(p, "trex"); }) &&
                           sectorNumber - 3 >= context.windowStart;
    const uint8_t* from = fragments ? sector - 1298 : near;
    const uint8_t* found = find(from, fragments ? 1024 : 512, [](const uint8_t* p) {
        return Is(p, "iPhone ") || Is(p, "iPad ");
    });
    if (found == nullptr)
        return;
    const std::string name = NameText(found, 20, true);
    if (!name.empty()) {
        make = name;
        SetRawFileTagAndValue(RAW_FILE_TAG_MOVIE, make);
    }
}

}  // namespace BruteForce
