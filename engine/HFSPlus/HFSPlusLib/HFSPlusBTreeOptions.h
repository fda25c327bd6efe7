#pragma once

#include <cstddef>
#include <cstdint>

#include "HFSPlusBTree.h"

// The published case-insensitive name order of HFS+: names folded through the
// lower-case table, characters folding to 0 ignored; -1, 0 or 1.
int FastUnicodeCompare(const uint16_t* s1, uint16_t len1, const uint16_t* s2, uint16_t len2);

// The catalog: folders, files and their threads keyed by parent id and name.
class CHFSPlusCatalog : public CHFSPlusBTreeOptionBase {
public:
    CHFSPlusCatalog(CHFSPlusVolume* volume, CHFSPlusRawfile* file);

    int Compare(const BTKey* first, const BTKey* second) override;
    BTKey* KeyRead(CHFSPlusBTNode* node, unsigned short n) override;
    void KeyPrint(const BTKey*) override {}
    unsigned char* DataRead(CHFSPlusBTNode* node, unsigned short n) override;
    void DataPrint(const unsigned char*) override {}

    // Parent id first, then the names: case-folded for compare type 0xCF,
    // else unit by unit (binary).
    static int CompareKey(const BTKey* first, const BTKey* second, uint8_t compareType);
    static RESULT_CODE ReadKey(CHFSPlusBTNode* node, unsigned short n, BTKey*& key);
    // Folder, file or thread record of a leaf, converted; other types kind 6.
    static RESULT_CODE ReadData(CHFSPlusBTNode* node, unsigned short n, unsigned char*& data);
    static unsigned char* CloneRecord(const unsigned char* record);
    // Bytes kept for a record type; 0 for an unknown type.
    static size_t RecordSize(int16_t type);
};

// The extents overflow file: extent records keyed by file, fork and first block.
class CHFSPlusExtents : public CHFSPlusBTreeOptionBase {
public:
    CHFSPlusExtents(CHFSPlusVolume* volume, CHFSPlusRawfile* file);

    int Compare(const BTKey* first, const BTKey* second) override;
    BTKey* KeyRead(CHFSPlusBTNode* node, unsigned short n) override;
    void KeyPrint(const BTKey*) override {}
    unsigned char* DataRead(CHFSPlusBTNode* node, unsigned short n) override;
    void DataPrint(const unsigned char*) override {}

    static int CompareKey(const BTKey* first, const BTKey* second);
    static RESULT_CODE ReadKey(CHFSPlusBTNode* node, unsigned short n, BTKey*& key);
    static RESULT_CODE ReadData(CHFSPlusBTNode* node, unsigned short n, unsigned char*& data);
    static unsigned char* CloneRecord(const unsigned char* record);
};

// The attributes file: extended attributes keyed by file id and name.
class CHFSPlusAttribute : public CHFSPlusBTreeOptionBase {
public:
    CHFSPlusAttribute(CHFSPlusVolume* volume, CHFSPlusRawfile* file);

    int Compare(const BTKey* first, const BTKey* second) override;
    BTKey* KeyRead(CHFSPlusBTNode* node, unsigned short n) override;
    void KeyPrint(const BTKey* key) override { PrintKey(key); }
    unsigned char* DataRead(CHFSPlusBTNode* node, unsigned short n) override;
    void DataPrint(const unsigned char* data) override { PrintData(data); }

    // File id, then the names unit by unit; the start block takes no part.
    static int CompareKey(const BTKey* first, const BTKey* second);
    static RESULT_CODE ReadKey(CHFSPlusBTNode* node, unsigned short n, BTKey*& key);
    // Inline data (at most what the record holds), fork data or extents;
    // another type gives no data and code 0.
    static RESULT_CODE ReadData(CHFSPlusBTNode* node, unsigned short n, unsigned char*& data);
    static unsigned char* CloneRecord(const unsigned char* record);
    static size_t RecordSize(const unsigned char* record);
    static void PrintKey(const BTKey* key);
    static void PrintData(const unsigned char* data);
};
