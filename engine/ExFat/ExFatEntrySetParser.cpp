#include "ExFatEntrySetParser.h"

#include "ExFatEntries.h"
#include "LittleEndian.h"

void CEFDTAnalyze::PrepareAnayze(uint32_t sectorShift, uint32_t clusterShift,
                                 uint64_t totalSectors) {
    sectorShift_ = sectorShift;
    clusterShift_ = clusterShift;
    totalSectors_ = totalSectors;
    bitmapCluster_ = 0;
    bitmapLength_ = 0;
    Reset();
}

void CEFDTAnalyze::Reset() {
    state_ = 0;
    secondariesLeft_ = 0;
    current_ = _tagFileBaseInfo{};
    nameUnits_.clear();
    entriesSinceStart_ = 0;
}

bool CEFDTAnalyze::Analyze(const uint8_t* buffer, uint32_t bytes, int64_t sector) {
    bool answer = true;
    for (uint32_t offset = 0; offset + kExFatEntrySize <= bytes; offset += kExFatEntrySize) {
        const uint8_t* entry = buffer + offset;
        const uint8_t type = entry[0];
        switch (type) {
            case kExFatLabel:
            case ExFatBaseType(kExFatLabel):
                answer = IsValidLabelEntry(entry);
                break;
            case kExFatFile:
            case ExFatBaseType(kExFatFile):
                answer = SetBaseData(entry, sector);
                break;
            case kExFatStream:
            case ExFatBaseType(kExFatStream):
                answer = SetStreamData(entry);
                break;
            case kExFatName:
            case ExFatBaseType(kExFatName):
                answer = SetNameData(entry);
                break;
            case kExFatBitmap:
                if (bitmapCluster_ == 0) {
                    bitmapCluster_ = ReadLE32(entry + 20);
                    bitmapLength_ = ReadLE32(entry + 24) | uint64_t{ReadLE32(entry + 28)} << 32;
                }
                break;
            case kExFatUpCase:
                break;
            default:
                if (type == kExFatEndOfFolder || (type & kExFatBenign) == 0) {
                    answer = false;
                } else if (type & kExFatSecondary) {
                    // Benign secondaries (vendor extensions) belong to the set before them.
                    ContinueWithSecondary(entry);
                } else {
                    // A benign primary (volume GUID, padding, vendor entries) is
                    // passed over with whatever secondaries follow it.
                    Reset();
                }
                break;
        }
        ++entriesSinceStart_;
        if (!answer)
            break;
    }
    return answer;
}

bool CEFDTAnalyze::SetBaseData(const uint8_t* entry, int64_t sector) {
    Reset();
    if (!IsValidFileEntry(entry))
        return false;
    state_ = 1;
    secondariesLeft_ = entry[1];
    current_.inUse = entry[0] & kExFatInUse;
    current_.attributes = ReadLE16(entry + 4);
    current_.creationTime = ReadLE32(entry + 8);
    current_.modificationTime = ReadLE32(entry + 12);
    current_.accessTime = ReadLE32(entry + 16);
    current_.sector = sector;
    return true;
}

bool CEFDTAnalyze::IsValidStream(const uint8_t* entry) const {
    if ((entry[0] & (kExFatSecondary | kExFatBenign)) != kExFatSecondary ||
        !StreamReservedFieldsClear(entry)) {
        return false;
    }
    const ExFatStream stream = ReadStreamEntry(entry);
    if (stream.firstCluster == 1 || stream.firstCluster > 0xFFFFFFF6)
        return false;
    if ((stream.dataLength >> sectorShift_) >= totalSectors_ ||
        (stream.validLength >> sectorShift_) >= totalSectors_) {
        return false;
    }
    if (stream.firstCluster != 0 && stream.NoFatChain()) {
        if (((stream.dataLength >> clusterShift_) + stream.firstCluster) / 2 > 0x7FFFFFFA ||
            (stream.validLength >> clusterShift_) + stream.firstCluster >= 0xFFFFFFF6) {
            return false;
        }
    }
    return true;
}

bool CEFDTAnalyze::FitsSet(const uint8_t* entry) const {
    return (entry[0] & kExFatInUse) == current_.inUse && state_ > 1 && state_ == entriesSinceStart_;
}

bool CEFDTAnalyze::SetStreamData(const uint8_t* entry) {
    if (!IsValidStream(entry))
        return false;
    if (state_ != 1 || entriesSinceStart_ != 1 || (entry[0] & kExFatInUse) != current_.inUse) {
        Reset();
        return true;
    }
    const ExFatStream stream = ReadStreamEntry(entry);
    state_ = 2;
    --secondariesLeft_;
    current_.dataLength = static_cast<int64_t>(stream.dataLength);
    current_.firstCluster = stream.firstCluster;
    current_.noFatChain = stream.NoFatChain() ? 1 : 0;
    current_.nameLength = stream.nameLength;
    return true;
}

bool CEFDTAnalyze::SetNameData(const uint8_t* entry) {
    if (!IsValidNameEntry(entry))
        return false;
    if (!FitsSet(entry)) {
        Reset();
        return true;
    }
    nameUnits_.insert(nameUnits_.end(), entry + 2, entry + kExFatEntrySize);
    ++state_;
    if (--secondariesLeft_ == 0)
        FileRecordDone();
    return true;
}

void CEFDTAnalyze::ContinueWithSecondary(const uint8_t* entry) {
    if (!FitsSet(entry))
        return;
    ++state_;
    if (--secondariesLeft_ == 0)
        FileRecordDone();
}

void CEFDTAnalyze::FileRecordDone() {
    current_.name = converter_.ToUtf8(nameUnits_.data(), nameUnits_.size() / 2);
    files_.push_back(std::move(current_));
    Reset();
}
