#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CFileNode;
class CSearchedPartitionInfo;
class IDataRunList;
class IProgress;
class IStorageDevice;

// Delivers the bytes of one found file.
class IFileReader {
public:
    virtual ~IFileReader() = default;
    // Answers the number of bytes delivered; *error becomes -1 on a failed device read.
    virtual uint32_t ReadData(int64_t offset, char* buffer, uint32_t length, int* error) = 0;
    virtual IFileReader* Clone() = 0;
    virtual int64_t GetDataSize() const = 0;
    virtual uint32_t IsCompressFile() = 0;
    virtual void Release() = 0;
};

// Reads a file through its extent list, cluster by cluster, within its partition.
// Never owns the device, the node or the extent list.
class CFileReader : public IFileReader {
public:
    CFileReader() = default;

    bool Open(IStorageDevice* device, CFileNode* node, CSearchedPartitionInfo* partition);
    void Close();
    bool Read(int64_t offset, unsigned char* buffer, int length, int& delivered, int* error);

    uint32_t ReadData(int64_t offset, char* buffer, uint32_t length, int* error) override;
    IFileReader* Clone() override;
    int64_t GetDataSize() const override;
    uint32_t IsCompressFile() override;
    void Release() override;

protected:
    bool ReadResidentData(int64_t offset, unsigned char* buffer, int length, int& delivered);
    // Reads `length` bytes starting `byteOffset` bytes into the device sector `sector`.
    bool ReadBytesAt(int64_t sector, int64_t byteOffset, unsigned char* buffer, int64_t length);

    IDataRunList* m_pDataRunList = nullptr;
    IStorageDevice* m_pDevice = nullptr;
    CFileNode* m_pFileNode = nullptr;
    uint32_t m_u32ClusterSize = 0;
    uint32_t m_u32SectorsPerCluster = 0;
    int64_t m_s64FileSize = 0;
    int64_t m_s64FirstDataSector = 0;
};

enum : uint32_t {
    NONECOMPRESSED_UNIT = 0,
    COMPRESSED_UNIT = 1,
    SPARSE_UNIT = 2,
};

// One piece of a compression unit.
struct tagCompressDataRun {
    int64_t s64LCN = -1;  // -1 for a sparse piece
    uint32_t u32ClusterCount = 0;
    uint32_t eType = NONECOMPRESSED_UNIT;
};

// Reads NTFS-compressed files: 16-cluster units decoded with LZNT1.
class CCompressFileReader : public CFileReader {
public:
    CCompressFileReader() = default;
    ~CCompressFileReader() override;

    // Decodes the whole file into a new file at `path`. A resident file sets
    // `resident` and writes nothing: the caller copies it the plain way. A
    // file that could not be written whole is removed.
    bool Recovery(const char* path, IProgress* progress, bool& resident);
    // Decodes at most `capacity` bytes from the file's start into `buffer`.
    bool Recovery(char* buffer, int capacity, IProgress* progress);
    // Decodes `size` bytes of the file described by `runs` into the current target.
    bool DeCompressFile(IDataRunList* runs, int64_t size);
    // Decoded bytes from `offset`; only the units that cover the range are decoded.
    virtual uint32_t ReadData(int64_t offset, char* buffer, uint32_t length);
    using CFileReader::ReadData;

    IFileReader* Clone() override;

    // The system's error number of the output file's failed write or close in
    // the last Recovery into a file; 0 when there was none.
    int OutputError() const { return m_iOutputError; }
    // True when the last decoding met unreadable clusters (left as zeros) or
    // ran out of extents before the file's end.
    bool LastDecodeIncomplete() const { return m_bIncomplete; }

    static constexpr uint32_t kUnitClusters = 16;
    static constexpr uint32_t kUnitBytesMax = 0x10000;

    // Cuts extents into pieces filling 16-cluster units and types every piece.
    static std::vector<tagCompressDataRun> ReGroupCompressDataRunList(IDataRunList* runs);
    // Decodes one LZNT1 compressed unit; answers the bytes produced (at most `capacity`).
    static uint32_t DecodeLznt1Unit(const unsigned char* input, uint32_t inputLength,
                                    unsigned char* output, uint32_t capacity);

private:
    // Produces the decoded bytes [from, from + count) of the file to the current target.
    bool RecoverCompressFile(int64_t from, int64_t count);
    bool ReadClusters(int64_t firstCluster, uint32_t clusters, unsigned char* buffer);
    bool Emit(const unsigned char* data, uint32_t length);

    FILE* m_pOutput = nullptr;
    IProgress* m_pProgress = nullptr;
    char* m_pMemory = nullptr;
    uint32_t m_u32MemoryCapacity = 0;
    uint32_t m_u32MemoryWritten = 0;
    uint32_t m_u32MemoryMode = 0;
    int m_iOutputError = 0;
    bool m_bIncomplete = false;
};
