#include "HFSPlusBTreeOptions.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "HFSPlusBTNode.h"
#include "HFSPlusEndian.h"
#include "HFSPlusResult.h"

namespace {

// Where record `n`'s key ends and its data begins, both inside the record.
struct RecordView {
    const unsigned char* record = nullptr;
    unsigned length = 0;      // of the whole record
    unsigned dataOffset = 0;  // key length + 2
};

RESULT_CODE ViewRecord(CHFSPlusBTNode* node, unsigned short n, RecordView& view) {
    if (node == nullptr)
        return HFS_FAILURE(kResultBadArgument);
    unsigned short length = 0;
    view.record = node->GetRecord(n, &length);
    if (view.record == nullptr)
        return node->GetLastError();
    if (length < 2)
        return HFS_FAILURE(kResultMalformed);
    view.length = length;
    view.dataOffset = ReadBE16(view.record) + 2u;
    return kResultSuccess;
}

// A zeroed buffer of `size` bytes holding the first `available` bytes of `from`.
unsigned char* CopyBounded(const unsigned char* from, size_t available, size_t size) {
    auto* copy = new (std::nothrow) unsigned char[size]();
    if (copy != nullptr)
        std::memcpy(copy, from, std::min(available, size));
    return copy;
}

int CompareUnits(const uint16_t* a, uint16_t lengthA, const uint16_t* b, uint16_t lengthB,
                 bool colonIsSlash) {
    const uint16_t common = std::min(lengthA, lengthB);
    for (uint16_t i = 0; i < common; ++i) {
        uint16_t ca, cb;
        std::memcpy(&ca, a + i, 2);
        std::memcpy(&cb, b + i, 2);
        if (colonIsSlash) {
            ca = ca == ':' ? '/' : ca;
            cb = cb == ':' ? '/' : cb;
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return lengthA == lengthB ? 0 : (lengthA < lengthB ? -1 : 1);
}

template <typename T>
int Order(T a, T b) {
    return a == b ? 0 : (a < b ? -1 : 1);
}

const uint16_t kLowerCaseTable[] = {
#include "HFSPlusCaseFolding.inc"
};

uint16_t Fold(uint16_t c) {
    const uint16_t block = kLowerCaseTable[c >> 8];
    uint16_t folded = block != 0 ? kLowerCaseTable[block + (c & 0xFF)] : c;
    return folded == ':' ? '/' : folded;
}

// The next character of a name that does not fold to 0; 0 at the end.
uint16_t NextFolded(const uint16_t* s, uint16_t length, uint16_t& at) {
    while (at < length) {
        uint16_t c;
        std::memcpy(&c, s + at, 2);
        ++at;
        c = Fold(c);
        if (c != 0)
            return c;
    }
    return 0;
}

}  // namespace

int FastUnicodeCompare(const uint16_t* s1, uint16_t len1, const uint16_t* s2, uint16_t len2) {
    len1 = CappedNameLength(len1);
    len2 = CappedNameLength(len2);
    uint16_t at1 = 0, at2 = 0;
    for (;;) {
        const uint16_t c1 = NextFolded(s1, len1, at1);
        const uint16_t c2 = NextFolded(s2, len2, at2);
        if (c1 != c2)
            return c1 < c2 ? -1 : 1;
        if (c1 == 0)
            return 0;
    }
}

// Catalog.

CHFSPlusCatalog::CHFSPlusCatalog(CHFSPlusVolume* volume, CHFSPlusRawfile* file)
    : CHFSPlusBTreeOptionBase(volume, file) {
    MakeTree();
}

int CHFSPlusCatalog::Compare(const BTKey* first, const BTKey* second) {
    const BTHeaderRec* header = GetHeaderRec();
    return CompareKey(first, second, header != nullptr ? header->keyCompareType : 0);
}

int CHFSPlusCatalog::CompareKey(const BTKey* first, const BTKey* second, uint8_t compareType) {
    const HFSPlusCatalogKey& a = first->catalog;
    const HFSPlusCatalogKey& b = second->catalog;
    if (const int parent = Order<uint32_t>(a.parentID, b.parentID))
        return parent;
    const uint16_t lengthA = CappedNameLength(a.nodeName.length);
    const uint16_t lengthB = CappedNameLength(b.nodeName.length);
    if (compareType == kHFSCaseFolding)
        return FastUnicodeCompare(a.nodeName.unicode, lengthA, b.nodeName.unicode, lengthB);
    return CompareUnits(a.nodeName.unicode, lengthA, b.nodeName.unicode, lengthB, true);
}

BTKey* CHFSPlusCatalog::KeyRead(CHFSPlusBTNode* node, unsigned short n) {
    BTKey* key = nullptr;
    result_ = ReadKey(node, n, key);
    return key;
}

unsigned char* CHFSPlusCatalog::DataRead(CHFSPlusBTNode* node, unsigned short n) {
    unsigned char* data = nullptr;
    result_ = ReadData(node, n, data);
    return data;
}

RESULT_CODE CHFSPlusCatalog::ReadKey(CHFSPlusBTNode* node, unsigned short n, BTKey*& key) {
    key = nullptr;
    RecordView view;
    if (const RESULT_CODE code = ViewRecord(node, n, view); IsFailure(code))
        return code;
    const unsigned keyBytes = std::min(view.dataOffset, view.length);
    unsigned char* copy = CopyBounded(view.record, keyBytes, sizeof(HFSPlusCatalogKey));
    if (copy == nullptr)
        return HFS_FAILURE(kResultOutOfMemory);
    auto* catalogKey = reinterpret_cast<HFSPlusCatalogKey*>(copy);
    filpCatalogKey(catalogKey);
    catalogKey->nodeName.length = CappedNameLength(catalogKey->nodeName.length);
    key = reinterpret_cast<BTKey*>(copy);
    return kResultSuccess;
}

size_t CHFSPlusCatalog::RecordSize(int16_t type) {
    switch (type) {
        case kHFSPlusFolderRecord:
            return sizeof(HFSPlusCatalogFolder);
        case kHFSPlusFileRecord:
            return sizeof(HFSPlusCatalogFile);
        case kHFSPlusFolderThreadRecord:
        case kHFSPlusFileThreadRecord:
            return sizeof(HFSPlusCatalogThread);
        default:
            return 0;
    }
}

RESULT_CODE CHFSPlusCatalog::ReadData(CHFSPlusBTNode* node, unsigned short n,
                                      unsigned char*& data) {
    data = nullptr;
    if (node == nullptr || node->GetKind() != kBTLeafNode || node->GetDescriptor() == nullptr)
        return HFS_FAILURE(kResultMalformed);
    RecordView view;
    if (const RESULT_CODE code = ViewRecord(node, n, view); IsFailure(code))
        return code;
    // The key must leave room for at least the record type inside the record.
    if (view.dataOffset + 2u > view.length)
        return HFS_QUIET_FAILURE(kResultMalformed);
    const unsigned char* from = view.record + view.dataOffset;
    const unsigned available = view.length - view.dataOffset;
    const int16_t type = static_cast<int16_t>(ReadBE16(from));
    const size_t size = RecordSize(type);
    if (size == 0)
        return HFS_QUIET_FAILURE(kResultMalformed);
    data = CopyBounded(from, available, size);
    if (data == nullptr)
        return HFS_FAILURE(kResultOutOfMemory);
    auto* record = reinterpret_cast<HFSPlusCatalogRecord*>(data);
    if (type == kHFSPlusFolderRecord) {
        flipCatalogFolder(&record->folder);
    } else if (type == kHFSPlusFileRecord) {
        flipCatalogFile(&record->file);
    } else {
        flipCatalogThread(&record->thread);
        record->thread.nodeName.length = CappedNameLength(record->thread.nodeName.length);
    }
    return kResultSuccess;
}

unsigned char* CHFSPlusCatalog::CloneRecord(const unsigned char* record) {
    if (record == nullptr)
        return nullptr;
    int16_t type;
    std::memcpy(&type, record, sizeof(type));
    const size_t size = RecordSize(type);
    return size == 0 ? nullptr : CopyBounded(record, size, size);
}

// Extents.

CHFSPlusExtents::CHFSPlusExtents(CHFSPlusVolume* volume, CHFSPlusRawfile* file)
    : CHFSPlusBTreeOptionBase(volume, file) {
    MakeTree();
}

int CHFSPlusExtents::Compare(const BTKey* first, const BTKey* second) {
    return CompareKey(first, second);
}

int CHFSPlusExtents::CompareKey(const BTKey* first, const BTKey* second) {
    const HFSPlusExtentKey& a = first->extent;
    const HFSPlusExtentKey& b = second->extent;
    if (const int order = Order<uint32_t>(a.fileID, b.fileID))
        return order;
    if (const int order = Order<uint8_t>(a.forkType, b.forkType))
        return order;
    if (const int order = Order<uint32_t>(a.startBlock, b.startBlock))
        return order;
    return Order<uint16_t>(a.keyLength, b.keyLength);
}

BTKey* CHFSPlusExtents::KeyRead(CHFSPlusBTNode* node, unsigned short n) {
    BTKey* key = nullptr;
    result_ = ReadKey(node, n, key);
    return key;
}

unsigned char* CHFSPlusExtents::DataRead(CHFSPlusBTNode* node, unsigned short n) {
    unsigned char* data = nullptr;
    result_ = ReadData(node, n, data);
    return data;
}

RESULT_CODE CHFSPlusExtents::ReadKey(CHFSPlusBTNode* node, unsigned short n, BTKey*& key) {
    key = nullptr;
    RecordView view;
    if (const RESULT_CODE code = ViewRecord(node, n, view); IsFailure(code))
        return code;
    unsigned char* copy =
        CopyBounded(view.record, std::min(view.dataOffset, view.length), sizeof(HFSPlusExtentKey));
    if (copy == nullptr)
        return HFS_FAILURE(kResultOutOfMemory);
    filpExtentKey(reinterpret_cast<HFSPlusExtentKey*>(copy));
    key = reinterpret_cast<BTKey*>(copy);
    return kResultSuccess;
}

RESULT_CODE CHFSPlusExtents::ReadData(CHFSPlusBTNode* node, unsigned short n,
                                      unsigned char*& data) {
    data = nullptr;
    if (node == nullptr || node->GetDescriptor() == nullptr || node->GetKind() != kBTLeafNode)
        return HFS_FAILURE(kResultHFSJournalInvalid);
    RecordView view;
    if (const RESULT_CODE code = ViewRecord(node, n, view); IsFailure(code))
        return code;
    if (view.dataOffset >= view.length)
        return HFS_FAILURE(kResultMalformed);
    data = CopyBounded(view.record + view.dataOffset, view.length - view.dataOffset,
                       sizeof(HFSPlusExtentRecord));
    if (data == nullptr)
        return HFS_FAILURE(kResultOutOfMemory);
    flipExtentRecord(reinterpret_cast<HFSPlusExtentDescriptor*>(data));
    return kResultSuccess;
}

unsigned char* CHFSPlusExtents::CloneRecord(const unsigned char* record) {
    return record == nullptr
               ? nullptr
               : CopyBounded(record, sizeof(HFSPlusExtentRecord), sizeof(HFSPlusExtentRecord));
}

// Attributes.

CHFSPlusAttribute::CHFSPlusAttribute(CHFSPlusVolume* volume, CHFSPlusRawfile* file)
    : CHFSPlusBTreeOptionBase(volume, file) {
    MakeTree();
}

int CHFSPlusAttribute::Compare(const BTKey* first, const BTKey* second) {
    return CompareKey(first, second);
}

int CHFSPlusAttribute::CompareKey(const BTKey* first, const BTKey* second) {
    const HFSPlusAttrKey& a = first->attribute;
    const HFSPlusAttrKey& b = second->attribute;
    if (const int order = Order<uint32_t>(a.fileID, b.fileID))
        return order;
    return CompareUnits(a.name, CappedNameLength(a.nameLength), b.name,
                        CappedNameLength(b.nameLength), false);
}

BTKey* CHFSPlusAttribute::KeyRead(CHFSPlusBTNode* node, unsigned short n) {
    BTKey* key = nullptr;
    result_ = ReadKey(node, n, key);
    return key;
}

unsigned char* CHFSPlusAttribute::DataRead(CHFSPlusBTNode* node, unsigned short n) {
    unsigned char* data = nullptr;
    result_ = ReadData(node, n, data);
    return data;
}

RESULT_CODE CHFSPlusAttribute::ReadKey(CHFSPlusBTNode* node, unsigned short n, BTKey*& key) {
    key = nullptr;
    RecordView view;
    if (const RESULT_CODE code = ViewRecord(node, n, view); IsFailure(code))
        return code;
    unsigned char* copy =
        CopyBounded(view.record, std::min(view.dataOffset, view.length), sizeof(HFSPlusAttrKey));
    if (copy == nullptr)
        return HFS_FAILURE(kResultOutOfMemory);
    auto* attrKey = reinterpret_cast<HFSPlusAttrKey*>(copy);
    filpAttributeKey(attrKey);
    attrKey->nameLength = CappedNameLength(attrKey->nameLength);
    key = reinterpret_cast<BTKey*>(copy);
    return kResultSuccess;
}

size_t CHFSPlusAttribute::RecordSize(const unsigned char* record) {
    if (record == nullptr)
        return 0;
    uint32_t type;
    std::memcpy(&type, record, sizeof(type));
    switch (type) {
        case kHFSPlusAttrInlineData: {
            uint32_t size;
            std::memcpy(&size, record + 12, sizeof(size));
            return kHFSPlusAttrDataHead + size;
        }
        case kHFSPlusAttrForkData:
            return sizeof(HFSPlusAttrForkData);
        case kHFSPlusAttrExtents:
            return sizeof(HFSPlusAttrExtents);
        default:
            return 0;
    }
}

RESULT_CODE CHFSPlusAttribute::ReadData(CHFSPlusBTNode* node, unsigned short n,
                                        unsigned char*& data) {
    data = nullptr;
    if (node == nullptr || node->GetDescriptor() == nullptr || node->GetKind() != kBTLeafNode)
        return HFS_FAILURE(kResultMalformed);
    RecordView view;
    if (const RESULT_CODE code = ViewRecord(node, n, view); IsFailure(code))
        return code;
    if (view.dataOffset + 4u > view.length)
        return HFS_FAILURE(kResultMalformed);
    const unsigned char* from = view.record + view.dataOffset;
    const unsigned available = view.length - view.dataOffset;
    size_t size = 0;
    switch (ReadBE32(from)) {
        case kHFSPlusAttrInlineData: {
            if (available < kHFSPlusAttrDataHead)
                return HFS_FAILURE(kResultMalformed);
            // The stored size is trusted only as far as the record reaches.
            const uint32_t stored = ReadBE32(from + 12);
            const uint32_t inside = std::min<uint32_t>(stored, available - kHFSPlusAttrDataHead);
            data = CopyBounded(from, kHFSPlusAttrDataHead + inside, kHFSPlusAttrDataHead + inside);
            if (data == nullptr)
                return HFS_FAILURE(kResultOutOfMemory);
            auto* inlineData = reinterpret_cast<HFSPlusAttrData*>(data);
            flipAttrData(inlineData);
            inlineData->attrSize = inside;
            return kResultSuccess;
        }
        case kHFSPlusAttrForkData:
            size = sizeof(HFSPlusAttrForkData);
            break;
        case kHFSPlusAttrExtents:
            size = sizeof(HFSPlusAttrExtents);
            break;
        default:
            return kResultSuccess;
    }
    data = CopyBounded(from, available, size);
    if (data == nullptr)
        return HFS_FAILURE(kResultOutOfMemory);
    auto* record = reinterpret_cast<HFSPlusAttrRecord*>(data);
    if (size == sizeof(HFSPlusAttrForkData))
        flipAttrForkData(&record->forkData);
    else
        flipAttrExtents(&record->overflowExtents);
    return kResultSuccess;
}

unsigned char* CHFSPlusAttribute::CloneRecord(const unsigned char* record) {
    const size_t size = RecordSize(record);
    return size == 0 ? nullptr : CopyBounded(record, size, size);
}

void CHFSPlusAttribute::PrintKey(const BTKey* key) {
    if (key == nullptr)
        return;
    const HFSPlusAttrKey& k = key->attribute;
    std::printf("keyLength:%u\tfileID:%u\tstartBlock:%u\tName:", unsigned{k.keyLength},
                unsigned{k.fileID}, unsigned{k.startBlock});
    const uint16_t length = CappedNameLength(k.nameLength);
    if (length == 0)
        std::printf("\t");
    for (uint16_t i = 0; i < length; ++i) {
        uint16_t unit;
        std::memcpy(&unit, k.name + i, 2);
        const char c = static_cast<char>(unit & 0xFF);
        if (c != '\r')
            std::putchar(c);
    }
}

void CHFSPlusAttribute::PrintData(const unsigned char*) {
    std::printf("\n");
}
