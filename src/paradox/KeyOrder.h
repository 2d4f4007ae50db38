#pragma once

// How a keyed table orders its records: by its key fields, the first fields of every record, so
// that a record's key is the first keyBytes() of it. Paradox stores numbers, dates, times and
// logicals so that their bytes compare in the order of their values, a blank first; the blocks
// of the chain, and the records of each block, follow that order with each key once.
//
// Alpha fields compare byte by byte under the "ascii" sort order. Other sort orders follow a
// language's rules that the file does not hold; there two texts of letters and digits alone are
// compared ignoring case (digits before letters, a text before its longer ones), and any others
// only for being the same.
#include <cstddef>
#include <string_view>
#include <vector>

#include "Field.h"

namespace px {

class KeyOrder {
  public:
    enum class Comparison { Before, Same, After, Unknown };

    KeyOrder(const std::vector<Field>& fields, int keyFields, std::string_view sortOrder);

    // Where the record at `a` stands against the record at `b`.
    Comparison compare(const unsigned char* a, const unsigned char* b) const;
    // Whether every two keys can be told apart in order (no Unknown).
    bool total() const { return binary_; }
    size_t keyBytes() const { return keyBytes_; }
    // "Order No" or "(REQTYPE, URI)", and the key of a record as text, for messages.
    const std::string& names() const { return names_; }

  private:
    struct KeyField {
        size_t size;
        bool text;
    };
    static Comparison compareText(const unsigned char* a, const unsigned char* b, size_t size);

    std::vector<KeyField> fields_;
    size_t keyBytes_ = 0;
    bool binaryText_;
    bool binary_;  // every field compares byte by byte: the key as one run of bytes
    std::string names_;
};

}  // namespace px
