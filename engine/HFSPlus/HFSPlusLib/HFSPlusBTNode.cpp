#include "HFSPlusBTNode.h"

#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "HFSPlusEndian.h"
#include "HFSPlusResult.h"

namespace {

constexpr unsigned short kRecordZeroOffset = sizeof(BTNodeDescriptor);

// The offset stored in slot `k` (slot 0 is the last two bytes of the node).
inline unsigned short SlotOffset(const unsigned char* buffer, unsigned short size, unsigned k) {
    return ReadBE16(buffer + size - 2 - 2 * k);
}

}  // namespace

CHFSPlusBTNode::CHFSPlusBTNode(const unsigned char* buffer, unsigned short size, int ownsBuffer)
    : buffer_(buffer), size_(size), ownsBuffer_(ownsBuffer) {
    if (!IsValidNode(buffer, size)) {
        result_ = HFS_QUIET_FAILURE(kResultMalformed);
        return;
    }
    descriptor_ = new (std::nothrow) BTNodeDescriptor;
    if (descriptor_ == nullptr) {
        result_ = HFS_FAILURE(kResultOutOfMemory);
        return;
    }
    std::memcpy(descriptor_, buffer, sizeof(BTNodeDescriptor));
    flipNodeDescriptor(descriptor_);
}

CHFSPlusBTNode::~CHFSPlusBTNode() {
    delete descriptor_;
    if (ownsBuffer_ == 1)
        delete[] buffer_;
}

bool CHFSPlusBTNode::IsValidNode(const unsigned char* buffer, unsigned short size) {
    if (buffer == nullptr || size < 512 || size % 512 != 0)
        return false;
    BTNodeDescriptor descriptor;
    std::memcpy(&descriptor, buffer, sizeof(descriptor));
    flipNodeDescriptor(&descriptor);
    const uint8_t kind = static_cast<uint8_t>(descriptor.kind);
    if (kind >= 3 && kind <= 254)
        return false;
    if (descriptor.kind == kBTLeafNode && descriptor.height != 1)
        return false;
    if (descriptor.kind == kBTHeaderNode && descriptor.height != 0)
        return false;
    if (SlotOffset(buffer, size, 0) != kRecordZeroOffset)
        return false;
    // Each offset slot takes two bytes at the end; the slots cannot reach the records.
    if (2u * (descriptor.numRecords + 1u) + kRecordZeroOffset > size)
        return false;
    unsigned previous = kRecordZeroOffset;
    for (unsigned k = 1; k <= descriptor.numRecords; ++k) {
        const unsigned offset = SlotOffset(buffer, size, k);
        if (offset <= previous || offset > size - 2u - 2u * k)
            return false;
        previous = offset;
    }
    return true;
}

unsigned short CHFSPlusBTNode::GetRecordCount() {
    if (descriptor_ == nullptr) {
        result_ = HFS_FAILURE(kResultNotInitialised);
        return 0;
    }
    return descriptor_->numRecords;
}

const unsigned char* CHFSPlusBTNode::GetRecord(unsigned short n, unsigned short* length) {
    if (descriptor_ == nullptr) {
        result_ = HFS_FAILURE(kResultNotInitialised);
        return nullptr;
    }
    if (n >= descriptor_->numRecords) {
        result_ = HFS_FAILURE(kResultBadArgument);
        return nullptr;
    }
    // The node's test made every offset up to the free-space slot rise.
    const unsigned short offset = SlotOffset(buffer_, size_, n);
    if (length != nullptr)
        *length = static_cast<unsigned short>(SlotOffset(buffer_, size_, n + 1u) - offset);
    return buffer_ + offset;
}

bool CHFSPlusBTNode::IsValidCatalogThread(const unsigned char* data, unsigned int length) {
    if (data == nullptr || length < 10)
        return false;
    HFSPlusCatalogThread thread{};
    std::memcpy(&thread, data, length < sizeof(thread) ? length : sizeof(thread));
    flipCatalogThread(&thread);
    if (thread.recordType != kHFSPlusFolderThreadRecord &&
        thread.recordType != kHFSPlusFileThreadRecord) {
        return false;
    }
    // A length beyond 255 units is no thread, whatever the record's size.
    return thread.nodeName.length <= kHFSMaxNameLength &&
           2u * thread.nodeName.length + 10u == length;
}

int CHFSPlusBTNode::TestNodeBelongToFile() {
    if (descriptor_ == nullptr) {
        result_ = HFS_FAILURE(kResultNotInitialised);
        return 0;
    }
    int guess = 0;
    for (unsigned short n = 0; n < descriptor_->numRecords; ++n) {
        unsigned short recordLength = 0;
        const unsigned char* record = GetRecord(n, &recordLength);
        if (record == nullptr || recordLength < 2)
            return guess;
        const unsigned dataOffset = ReadBE16(record) + 2u;
        if (dataOffset >= recordLength)
            return guess;
        const unsigned char* data = record + dataOffset;
        const unsigned length = recordLength - dataOffset;
        const uint16_t type16 = ReadBE16(data);
        if (IsValidCatalogThread(data, length) || (length == 88 && type16 == 1) ||
            (length == 248 && type16 == 2)) {
            return 4;
        }
        const uint32_t type32 = length >= 4 ? ReadBE32(data) : 0;
        if ((length == 88 && type32 == kHFSPlusAttrForkData) ||
            (length == 72 && type32 == kHFSPlusAttrExtents)) {
            guess = 8;
        } else if (length == 64) {
            guess = 3;
        }
    }
    return guess;
}
