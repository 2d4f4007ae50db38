#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace px {

// A read-only file read by offset; every short read is an error naming the file.
class File {
  public:
    explicit File(const std::string& path);
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    const std::string& path() const { return path_; }
    uint64_t size() const { return size_; }
    void readAt(uint64_t offset, void* buffer, size_t length) const;

  private:
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
};

// The entry of `folder` whose name equals `name` ignoring ASCII letter case, exact match first.
std::optional<std::string> findIgnoringCase(const std::string& folder, const std::string& name);

}  // namespace px
