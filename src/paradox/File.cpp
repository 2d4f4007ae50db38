#include "File.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "FormatError.h"

namespace px {

File::File(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw FormatError(path, std::string("cannot be opened: ") + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd_);
        throw FormatError(path, "is not a regular file");
    }
    size_ = static_cast<uint64_t>(info.st_size);
}

File::~File() {
    if (fd_ >= 0)
        ::close(fd_);
}

void File::readAt(uint64_t offset, void* buffer, size_t length) const {
    if (offset > size_ || length > size_ - offset)
        throw FormatError(path_, "is truncated: " + std::to_string(length) + " bytes at offset " +
                                     std::to_string(offset) + " lie beyond its end (" +
                                     std::to_string(size_) + " bytes)");
    auto* out = static_cast<char*>(buffer);
    while (length > 0) {
        const ssize_t got = ::pread(fd_, out, length, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw FormatError(path_, got == 0
                                         ? std::string("ended early while being read")
                                         : std::string("cannot be read: ") + std::strerror(errno));
        out += got;
        offset += static_cast<uint64_t>(got);
        length -= static_cast<size_t>(got);
    }
}

std::optional<std::string> findIgnoringCase(const std::string& folder, const std::string& name) {
    const std::string exact = folder + "/" + name;
    struct stat info {};
    if (::stat(exact.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        return exact;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return std::nullopt;
    std::optional<std::string> found;
    while (dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            const std::string candidate = folder + "/" + entry->d_name;
            if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
                found = candidate;
                break;
            }
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace px
