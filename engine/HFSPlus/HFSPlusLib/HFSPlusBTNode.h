#pragma once

#include <cstdint>

#include "HFSPlusFormat.h"
#include "ResultCode.h"

// One B-tree node in memory (big-endian, as read) with its converted
// descriptor. Every record it hands out lies inside the node.
class CHFSPlusBTNode {
public:
    static constexpr uint32_t kMostNodeSize = 32768;

    // Keeps the buffer; frees it (array delete) when `ownsBuffer` is 1.
    CHFSPlusBTNode(const unsigned char* buffer, unsigned short size, int ownsBuffer);
    ~CHFSPlusBTNode();
    CHFSPlusBTNode(const CHFSPlusBTNode&) = delete;
    CHFSPlusBTNode& operator=(const CHFSPlusBTNode&) = delete;

    // Size a multiple of 512, a known kind with a fitting height, record 0 at
    // byte 14 and each further record offset rising and short of its own slot.
    static bool IsValidNode(const unsigned char* buffer, unsigned short size);

    unsigned short GetRecordCount();
    // Record `n` inside the node; `length` (when given) receives its length.
    const unsigned char* GetRecord(unsigned short n, unsigned short* length);
    const BTNodeDescriptor* GetDescriptor() const { return descriptor_; }
    int8_t GetKind() const { return descriptor_ != nullptr ? descriptor_->kind : 0; }
    unsigned short GetNodeSize() const { return size_; }
    const unsigned char* GetBuffer() const { return buffer_; }
    RESULT_CODE GetLastError() const { return result_; }

    // Which tree a node found without its tree belongs to, guessed from its
    // records: 4 catalog, 8 attributes, 3 extents, 0 unknown.
    int TestNodeBelongToFile();
    // A thread record of exactly `length` bytes?
    static bool IsValidCatalogThread(const unsigned char* data, unsigned int length);

private:
    const unsigned char* buffer_;
    unsigned short size_;
    int ownsBuffer_;
    BTNodeDescriptor* descriptor_ = nullptr;
    RESULT_CODE result_ = 0;
};
