#pragma once

// Order-independent summaries of a table's rows, so that a source and a copy can be compared in
// memory that does not grow with the table: a 128-bit multiset digest of whole rows (equal for
// equal multisets of rows, whatever their order), and per column a sketch of its distinct values
// (the k smallest of their hashes) from which the share of values two columns have in common is
// estimated.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace RowDigest {

// A 64-bit hash of bytes; different seeds give independent hashes.
uint64_t hash(std::string_view bytes, uint64_t seed);

// The sum of two independent hashes of each row, and the count: the order of the rows does not
// change it, any other change almost surely does.
class Multiset {
  public:
    void add(std::string_view row);
    long long count() const { return count_; }
    // The digest as text: its count and both sums, in hexadecimal.
    std::string text() const;
    bool operator==(const Multiset&) const = default;

  private:
    long long count_ = 0;
    uint64_t first_ = 0;
    uint64_t second_ = 0;
};

// The k smallest distinct hashes of a column's values.
class Sketch {
  public:
    void add(std::string_view value);
    // The share of the distinct values of both columns that the two have in common, estimated
    // from their sketches: 1 for the same values, near 0 for values changed throughout.
    static double similarity(const Sketch& a, const Sketch& b);

  private:
    static constexpr size_t kSize = 256;
    std::vector<uint64_t> smallest_;  // kept as a max-heap
};

}  // namespace RowDigest
