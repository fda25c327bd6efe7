#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The file a found file is copied into. Every write, the final sizing and the
// close are checked, and the system's text for the first failure is kept. A
// copy that is given up is removed, so that nothing that looks like the file
// stays behind.
class DestinationFile {
public:
    DestinationFile() = default;
    ~DestinationFile();
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;

    // Creates the file, emptying one that is already there.
    bool Create(const char* path);
    // Writes all of `length` at `offset`; a write that takes fewer bytes is
    // continued, one that takes none is a failure.
    bool WriteAt(const char* data, size_t length, int64_t offset);
    // Gives the file its final length (holes at the end count too) and closes it.
    bool Finish(int64_t length);
    // Closes the file and removes it. Only a regular file is removed: a device
    // given as the destination is left alone.
    void Discard();
    // The system's text for the first failure; empty while there was none.
    const std::string& error() const { return error_; }
    // Keeps `text` as the failure unless one is kept already.
    void Fail(const std::string& text);

private:
    void FailWithErrno(int code);

    int fd_ = -1;
    bool regular_ = false;
    std::string path_;
    std::string error_;
};
