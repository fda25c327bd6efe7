#pragma once

#include <cstdint>

// Empty files have no cluster; each gets a number above every real cluster as
// its first cluster and so as its node id. One counter per process.
class CEmptyFileVirtualClusterNum {
public:
    static constexpr uint64_t kFirstVirtualCluster = 4294967296ull;

    void ResetVirtualClusterNum() { next_ = kFirstVirtualCluster; }
    uint64_t GetVirtualClusterNum() { return next_++; }

private:
    uint64_t next_ = kFirstVirtualCluster;
};

CEmptyFileVirtualClusterNum* GetEmptyFileVirtualClusterNumObject();
