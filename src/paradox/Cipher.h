#pragma once

#include <cstddef>
#include <cstdint>

namespace px {

// Paradox's table "encryption": a keyed permutation of each 256-byte chunk. The key is the
// password checksum stored in the table header, so a table can be read without the password.
class Cipher {
  public:
    // The unit of the permutation: only whole chunks can be decrypted.
    static constexpr size_t kChunk = 256;

    explicit Cipher(uint32_t key) : a_(key & 0xFF), b_((key >> 8) & 0xFF) {}

    // A data block of the .db file; blocks are numbered from 1.
    void decryptDataBlock(unsigned char* block, size_t size, uint32_t blockNumber) const;
    // Any run of whole 256-byte chunks of the .mb file: its chunks do not depend on position.
    void decryptBlobChunks(unsigned char* data, size_t size) const;

  private:
    void decryptChunk(unsigned char* chunk, unsigned char c, unsigned char d) const;

    unsigned char a_;
    unsigned char b_;
};

}  // namespace px
