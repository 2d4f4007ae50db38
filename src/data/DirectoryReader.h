#pragma once

#include <dirent.h>

#include <cstddef>

// The entries of one folder, read straight from the kernel in large chunks: the scan visits
// every folder of a tree twice, and the C library's directory stream costs an extra system
// call per folder.
class DirectoryReader {
  public:
    explicit DirectoryReader(const char* path);
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // The error of a failed open or read (an errno value), 0 when there was none.
    int error() const { return error_; }
    int fd() const { return fd_; }

    struct Entry {
        const char* name;
        unsigned char type;  // DT_DIR, DT_REG, DT_LNK, DT_UNKNOWN...
    };
    // The next entry, false after the last one or on a read error.
    bool next(Entry& entry);

  private:
    int fd_ = -1;
    int error_ = 0;
    size_t filled_ = 0;
    size_t at_ = 0;
    alignas(8) char buffer_[32768];
};
