#pragma once

#include <cstdint>
#include <list>
#include <vector>

class IRSData;

// One run of an attribute: where its clusters lie (-1 for a hole) and where in
// the attribute they belong.
struct CDataRun {
    int64_t lcn = -1;
    int64_t vcn = 0;
    int64_t count = 0;
};

// Mapping pairs: header byte (low nibble count bytes, high nibble LCN-delta
// bytes), the count, the signed delta from the previous LCN; a 0 byte ends them.
namespace NTFSRunBytes {

// Every pair has nibbles of at most 4 (count) and 8 (delta) and leaves room
// for the ending 0 byte inside `length`.
bool IsValid(const uint8_t* runs, int length);
// Decodes valid run bytes; VCNs are counted from `startVCN`.
bool Decode(const uint8_t* runs, int length, int64_t startVCN, std::vector<CDataRun>& out);

}  // namespace NTFSRunBytes

// The runs of one attribute (or of several pieces of it), in list order.
class CNTFSDataRunList {
public:
    CNTFSDataRunList() = default;

    // Clears the list, then decodes `runs` with VCNs from 0; false when they are invalid.
    bool InitFromBuffer(const uint8_t* runs, int length);
    // Appends the decoded runs shifted to `startVCN`; invalid runs add nothing.
    bool AddDataRunsfromBuffer(const uint8_t* runs, int length, int64_t startVCN);
    void AddDataRun(const CDataRun& run) { runs_.push_back(run); }

    int64_t GetTotalClusters() const;
    // The LCN holding `vcn`, or -1 (holes and unmapped VCNs alike).
    int64_t GetLCN(int64_t vcn) const;
    int64_t GetVCN(int64_t lcn) const;
    bool IsLCNContained(int64_t lcn) const;
    bool IsEqual(const CNTFSDataRunList& other) const;
    bool IsEmpty() const { return runs_.empty(); }
    void ClearDataRunList() { runs_.clear(); }
    // Stable, by VCN.
    void Sort();

    const std::list<CDataRun>& Runs() const { return runs_; }

    // The number of runs, then LCN, count and VCN of each. Restore replaces
    // the list; false when a field is missing or the count is implausible.
    bool Save(IRSData& archive) const;
    bool Restore(IRSData& archive);
    // More runs than this are not restored (no attribute holds as many).
    static constexpr uint64_t kMostSavedRuns = 1u << 20;

private:
    std::list<CDataRun> runs_;
};
