#include "KeyOrder.h"

#include <strings.h>
#include <cstring>

namespace px {

namespace {

// The rank of a character of a text under a language's sort order, where it is sure: its end
// first, then digits, then letters without regard to case; 0 for any other character.
int rankOf(unsigned char c) {
    if (c == 0)
        return 1;
    if (c >= '0' && c <= '9')
        return 2 + (c - '0');
    if (c >= 'a' && c <= 'z')
        c = static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z')
        return 12 + (c - 'A');
    return 0;
}

}  // namespace

KeyOrder::KeyOrder(const std::vector<Field>& fields, int keyFields, std::string_view sortOrder)
    : binaryText_(sortOrder.empty() ||
                  (sortOrder.size() == 5 && strncasecmp(sortOrder.data(), "ascii", 5) == 0)) {
    binary_ = true;
    for (int i = 0; i < keyFields && i < static_cast<int>(fields.size()); ++i) {
        const Field& field = fields[static_cast<size_t>(i)];
        const bool text = field.type == FieldType::Alpha;
        fields_.push_back({static_cast<size_t>(field.size), text});
        keyBytes_ += static_cast<size_t>(field.size);
        binary_ = binary_ && (!text || binaryText_);
        names_ += (names_.empty() ? "" : ", ") + field.name;
    }
    if (fields_.size() > 1)
        names_ = "(" + names_ + ")";
}

KeyOrder::Comparison KeyOrder::compare(const unsigned char* a, const unsigned char* b) const {
    if (binary_) {
        const int order = std::memcmp(a, b, keyBytes_);
        return order < 0 ? Comparison::Before : order > 0 ? Comparison::After : Comparison::Same;
    }
    for (const KeyField& field : fields_) {
        Comparison order = Comparison::Same;
        if (field.text && !binaryText_) {
            order = compareText(a, b, field.size);
        } else {
            const int bytes = std::memcmp(a, b, field.size);
            order = bytes < 0 ? Comparison::Before : bytes > 0 ? Comparison::After : order;
        }
        if (order != Comparison::Same)
            return order;
        a += field.size;
        b += field.size;
    }
    return Comparison::Same;
}

KeyOrder::Comparison KeyOrder::compareText(const unsigned char* a, const unsigned char* b,
                                           size_t size) {
    if (std::memcmp(a, b, size) == 0)
        return Comparison::Same;
    for (size_t i = 0; i < size; ++i) {
        const int left = rankOf(a[i]);
        const int right = rankOf(b[i]);
        if (left == 0 || right == 0)
            return Comparison::Unknown;
        if (left != right)
            return left < right ? Comparison::Before : Comparison::After;
        if (a[i] == 0)
            break;
    }
    // The same but for case: the language decides.
    return Comparison::Unknown;
}

}  // namespace px
