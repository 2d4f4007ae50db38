#include "ChangeStamp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "File.h"

namespace px {

namespace {

ChangeStamp::FileState stateOf(const std::string& path) {
    ChangeStamp::FileState state;
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0)
        return state;
    state.exists = true;
    state.size = static_cast<int64_t>(info.st_size);
    state.modifiedSeconds = static_cast<int64_t>(info.st_mtim.tv_sec);
    state.modifiedNanoseconds = static_cast<int64_t>(info.st_mtim.tv_nsec);
    state.changedSeconds = static_cast<int64_t>(info.st_ctim.tv_sec);
    state.changedNanoseconds = static_cast<int64_t>(info.st_ctim.tv_nsec);
    state.device = static_cast<uint64_t>(info.st_dev);
    state.inode = static_cast<uint64_t>(info.st_ino);
    return state;
}

std::string blobFileOf(const std::string& tablePath) {
    const size_t slash = tablePath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : tablePath.substr(0, slash);
    std::string base = slash == std::string::npos ? tablePath : tablePath.substr(slash + 1);
    if (const size_t dot = base.rfind('.'); dot != std::string::npos)
        base.resize(dot);
    return findIgnoringCase(folder, base + ".mb").value_or(std::string());
}

}  // namespace

ChangeStamp changeStampOf(const std::string& tablePath) {
    ChangeStamp stamp;
    stamp.table = stateOf(tablePath);
    stamp.blobs = stateOf(blobFileOf(tablePath));
    const int fd = ::open(tablePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return stamp;
    size_t have = 0;
    while (have < stamp.header.size()) {
        const ssize_t got = ::pread(fd, stamp.header.data() + have, stamp.header.size() - have,
                                    static_cast<off_t>(have));
        if (got <= 0)
            break;
        have += static_cast<size_t>(got);
    }
    ::close(fd);
    return stamp;
}

}  // namespace px
