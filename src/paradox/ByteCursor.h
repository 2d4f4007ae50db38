#pragma once

// A cursor over the bytes of a companion file's header or body (secondary index, validity
// checks): little-endian words, NUL-terminated names and fixed-width name fields. Any read past
// the end is a damaged file, told as a FormatError naming it.

#include <cstdint>
#include <string>
#include <vector>

#include "FormatError.h"

namespace px {

class ByteCursor {
  public:
    ByteCursor(std::string path, std::vector<unsigned char> bytes)
        : path_(std::move(path)), bytes_(std::move(bytes)) {}

    size_t at() const { return at_; }
    size_t size() const { return bytes_.size(); }
    void moveTo(size_t at);
    void skip(size_t count);
    uint8_t byte();
    uint16_t word();
    uint32_t longWord();
    // The next `count` bytes, as they are.
    const unsigned char* take(size_t count);
    // A NUL-terminated name.
    std::string text();
    // A name in a field of `width` bytes, ending at its first NUL.
    std::string text(size_t width);

  private:
    void require(size_t count) const;

    std::string path_;
    std::vector<unsigned char> bytes_;
    size_t at_ = 0;
};

}  // namespace px
