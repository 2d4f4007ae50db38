#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Cipher.h"
#include "File.h"

namespace px {

// A blob the blob file does not hold as a record says: the message names the file and the fault
// ("ORDERS.MB is cut short: ..."), for the table to tell under the record that points there.
class BlobError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The .mb file beside a table: blobs too long for their record's leader.
class BlobFile {
  public:
    BlobFile(const std::string& path, std::optional<Cipher> cipher);

    // The `length` bytes from `skip` bytes into the blob a record points at with `pointer`
    // (offset, and an index in its low byte); past the blob's end, its block's padding. Throws
    // a BlobError where the file does not hold the blob whole.
    std::string read(uint32_t pointer, uint32_t length, uint32_t skip = 0);
    // The same checks without reading a blob of its own block: for a look at every record.
    void check(uint32_t pointer, uint32_t length);

  private:
    // The header of a blob with a block of its own: its block's size in the file, after checking
    // that the file holds the blob whole.
    uint64_t checkSingle(uint64_t blockOffset, uint32_t length);
    std::string readSingle(uint64_t blockOffset, uint32_t length, uint32_t skip);
    std::string readSuballocated(uint64_t blockOffset, unsigned index, uint32_t length,
                                 uint32_t skip);
    void readDecrypted(uint64_t offset, size_t length, std::vector<unsigned char>& out);
    BlobError damage(const std::string& what) const;

    File file_;
    std::optional<Cipher> cipher_;
    std::vector<unsigned char> buffer_;
};

}  // namespace px
