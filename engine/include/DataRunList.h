#pragma once

#include <cstdint>
#include <list>

// One extent: a run of whole clusters on the partition. A negative first
// cluster marks a hole (no data on disk, reads as zeros); kUnknownDataRun marks
// a range whose data the file system no longer tells where to find: it is
// never read, and a file that needs it is copied only in part.
constexpr int64_t kHoleDataRun = -1;
constexpr int64_t kUnknownDataRun = -2;

struct DataRun {
    int64_t firstCluster = 0;
    uint64_t clusterCount = 0;

    DataRun() = default;
    DataRun(int64_t first, uint64_t count) : firstCluster(first), clusterCount(count) {}
};

// The ordered extents of a file with one read cursor.
class IDataRunList {
public:
    virtual ~IDataRunList() = default;
    virtual DataRun* GetFirst() = 0;
    virtual DataRun* GetNext() = 0;
    virtual bool IsDone() = 0;
    virtual uint32_t IsResident() = 0;
    virtual IDataRunList* Clone() = 0;
    virtual void AddDataRun(const DataRun* run) = 0;
    virtual int64_t GetOffset() = 0;
    virtual int GetDataRunListType() = 0;
    virtual void Release() = 0;
};

// The plain extent list; contiguous runs merge as they are added.
class CDataRunList : public IDataRunList {
public:
    static constexpr int kPlainListType = 5;

    CDataRunList();
    ~CDataRunList() override = default;
    CDataRunList(const CDataRunList&) = delete;
    CDataRunList& operator=(const CDataRunList&) = delete;

    DataRun* GetFirst() override;
    DataRun* GetNext() override;
    bool IsDone() override;
    uint32_t IsResident() override;
    IDataRunList* Clone() override;
    void AddDataRun(const DataRun* run) override;
    int64_t GetOffset() override;
    int GetDataRunListType() override;
    void Release() override;

protected:
    uint32_t resident_ = 0;
    std::list<DataRun> runs_;
    std::list<DataRun>::iterator cursor_;
};

// A new empty plain list; the owner calls Release().
IDataRunList* CreateDataRunList();
