#pragma once

// How a Paradox table file stores its numbers, for the readers of its blocks and records.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace px {

// Each data block opens with its next block (0x00), its previous block (0x02) and the offset of
// its last record (0x04), little-endian.
constexpr unsigned kBlockHeader = 6;
// A memo or blob field ends with the blob's address, length and modification number.
constexpr unsigned kBlobTrailer = 10;

inline uint16_t le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline bool allZero(const unsigned char* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

// Integers are stored big-endian with the sign bit flipped, so that all zeros means blank.
inline int64_t storedInteger(const unsigned char* p, size_t n) {
    uint64_t bits = p[0] ^ 0x80u;
    for (size_t i = 1; i < n; ++i)
        bits = bits << 8 | p[i];
    const unsigned shift = static_cast<unsigned>(64 - 8 * n);
    return static_cast<int64_t>(bits << shift) >> shift;
}

// Doubles: positive ones have the sign bit flipped, negative ones every bit.
inline double storedDouble(const unsigned char* p) {
    uint64_t bits = 0;
    const bool positive = (p[0] & 0x80) != 0;
    for (int i = 0; i < 8; ++i)
        bits = bits << 8 | p[i];
    bits = positive ? bits ^ (uint64_t(1) << 63) : ~bits;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace px
