#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Cipher.h"
#include "File.h"

namespace px {

// The .mb file beside a table: blobs too long for their record's leader.
class BlobFile {
  public:
    BlobFile(const std::string& path, std::optional<Cipher> cipher);

    // The `length` bytes from `skip` bytes into the blob a record points at with `pointer`
    // (offset, and an index in its low byte); past the blob's end, its block's padding.
    std::string read(uint32_t pointer, uint32_t length, uint32_t skip = 0);

  private:
    std::string readSingle(uint64_t blockOffset, uint32_t length, uint32_t skip);
    std::string readSuballocated(uint64_t blockOffset, unsigned index, uint32_t length,
                                 uint32_t skip);
    void readDecrypted(uint64_t offset, size_t length, std::vector<unsigned char>& out);

    File file_;
    std::optional<Cipher> cipher_;
    std::vector<unsigned char> buffer_;
};

}  // namespace px
