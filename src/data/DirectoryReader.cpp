#include "DirectoryReader.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

// The kernel's record of one entry, as getdents64 fills it in.
struct KernelEntry {
    uint64_t inode;
    int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

}  // namespace

DirectoryReader::DirectoryReader(const char* path) {
    fd_ = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        error_ = errno;
}

DirectoryReader::~DirectoryReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool DirectoryReader::next(Entry& entry) {
    if (fd_ < 0)
        return false;
    if (at_ >= filled_) {
        const long got = ::syscall(SYS_getdents64, fd_, buffer_, sizeof buffer_);
        if (got <= 0) {
            if (got < 0)
                error_ = errno;
            return false;
        }
        filled_ = static_cast<size_t>(got);
        at_ = 0;
    }
    const auto* record = reinterpret_cast<const KernelEntry*>(buffer_ + at_);
    at_ += record->length;
    entry.name = record->name;
    entry.type = record->type;
    return true;
}
