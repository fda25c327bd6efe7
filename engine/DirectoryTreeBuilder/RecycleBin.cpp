#include "RecycleBin.h"

#include <iconv.h>
#include <strings.h>

#include <string_view>

#include "ByteOrder.h"
#include "FileNode.h"
#include "FileReader.h"
#include "SearchedPartitionInfo.h"
#include "StorageDevice.h"

namespace {

// Deeper than any real folder path; parent links are acyclic, this only
// guards against a searcher that linked its nodes badly.
constexpr int kMaxAncestors = 1 << 16;

// "$" or "#", then `kind`. Every node of a scan is asked, so the name is not
// measured first.
bool HasRecycledPrefix(const char* name, char kind) {
    return name && (name[0] == '$' || name[0] == '#') && name[1] == kind;
}

}  // namespace

bool CRecyclerFilter::IsRecycleBinSigleNode(CFileNode* node) {
    if (!node || !(node->GetAttribute() & 0x10)) {
        return false;
    }
    const char* name = node->GetFileName();
    if (!name) {
        return false;
    }
    for (const char* bin : {"Recycler", "Recycled", "$Recycle.Bin", "$RECYCLE.BI0"}) {
        if (strcasecmp(name, bin) == 0) {
            return true;
        }
    }
    return false;
}

bool CRecyclerFilter::IsRecycleBin(CFileNode* node) {
    int steps = 0;
    for (CFileNode* at = node; at && steps < kMaxAncestors; at = at->GetParent(), ++steps) {
        if (IsRecycleBinSigleNode(at)) {
            return true;
        }
    }
    return false;
}

bool CRecyclerFilter::IsRecoverNode(CFileNode* node) {
    if (!node) {
        return false;
    }
    return HasRecycledPrefix(node->GetFileName(), 'I');
}

bool CRecyclerFilter::IsRecoverNodeEx(CFileNode* node) {
    if (!node) {
        return false;
    }
    const char* name = node->GetFileName();
    // NTFS metadata files ("$Repair", "$Reparse", "$RmMetadata") also start with "$R".
    constexpr std::string_view kMetadataNames = "$RmMetadata$Reparse$Repair";
    return HasRecycledPrefix(name, 'R') &&
           kMetadataNames.find(std::string_view(name)) == std::string_view::npos;
}

long CRecyclerFilter::UTF162UTF8(const char* input, size_t inputBytes, char* output,
                                 size_t outputBytes) {
    iconv_t converter = iconv_open("UTF-8", "UTF-16LE");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return -1;
    }
    char* in = const_cast<char*>(input);
    const size_t result = iconv(converter, &in, &inputBytes, &output, &outputBytes);
    iconv_close(converter);
    return static_cast<long>(result);
}

void CRecyclerFilter::RestorFileName(IStorageDevice* device, CFileNode* node, CFileNode* info,
                                     int64_t start, int sectorsPerCluster, _tagSearcherType type) {
    if (device == nullptr || node == nullptr || info == nullptr || start < 0 ||
        sectorsPerCluster <= 0 ||
        (type != SEARCHER_FAT && type != SEARCHER_EXFAT && type != SEARCHER_NTFS)) {
        return;
    }
    CSearchedPartitionInfo volume(device->GetSectorSize());
    volume.firstDataSector = static_cast<uint64_t>(start);
    volume.startSector = static_cast<uint64_t>(start);
    volume.sectorsPerCluster = static_cast<uint32_t>(sectorsPerCluster);
    CFileReader reader;
    if (!reader.Open(device, info, &volume)) {
        return;
    }
    unsigned char bytes[1024] = {};
    int read = 0;
    if (!reader.Read(0, bytes, sizeof bytes, read, nullptr) || read <= 0) {
        return;
    }
    // The path is UTF-16LE: "\\" and ":" are whole units at even offsets.
    constexpr int kPathBytes = 512;
    int slash = -1;
    for (int at = kPathBytes - 2; at >= 0; at -= 2) {
        if (ReadLE16(bytes + at) == '\\') {
            slash = at;
            break;
        }
    }
    bool drive = false;
    for (int at = 0; at + 2 <= slash && !drive; at += 2) {
        drive = ReadLE16(bytes + at) == ':' && ReadLE16(bytes + at + 2) == '\\';
    }
    if (!drive) {
        return;
    }
    char name[kPathBytes + 1] = {};
    const int nameStart = slash + 2;
    UTF162UTF8(reinterpret_cast<const char*>(bytes + nameStart),
               static_cast<size_t>(kPathBytes - nameStart), name, kPathBytes);
    if (name[0] != '\0') {
        node->SetFileName(name);
    }
}
