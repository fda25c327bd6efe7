#pragma once

class IRecoveryFilter;

// The interface's holder of the engine's file-type filter: the file-type page
// sets the categories, every scan hands the same filter to its controller.
class KvUIFilter {
public:
    static KvUIFilter* instance();

    virtual ~KvUIFilter();
    KvUIFilter(const KvUIFilter&) = delete;
    KvUIFilter& operator=(const KvUIFilter&) = delete;

    IRecoveryFilter* GetFilter() const { return filter_; }
    // Category mask bits: 1 documents, 2 pictures, 4 movies, 8 music,
    // 16 archives, 32 e-mail, 64 other; 0 and 127 let every file through.
    void ResetFilter(unsigned int mask);

private:
    KvUIFilter();

    IRecoveryFilter* filter_;
};
