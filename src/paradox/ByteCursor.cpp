#include "ByteCursor.h"

#include <algorithm>

namespace px {

void ByteCursor::require(size_t count) const {
    if (at_ > bytes_.size() || count > bytes_.size() - at_)
        throw FormatError(path_, "is shorter than its own header says");
}

void ByteCursor::moveTo(size_t at) {
    at_ = 0;
    skip(at);
}

void ByteCursor::skip(size_t count) {
    require(count);
    at_ += count;
}

uint8_t ByteCursor::byte() {
    return *take(1);
}

uint16_t ByteCursor::word() {
    const unsigned char* at = take(2);
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}

uint32_t ByteCursor::longWord() {
    const unsigned char* at = take(4);
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

const unsigned char* ByteCursor::take(size_t count) {
    require(count);
    const unsigned char* start = bytes_.data() + at_;
    at_ += count;
    return start;
}

std::string ByteCursor::text() {
    require(0);
    const auto begin = bytes_.begin() + static_cast<std::ptrdiff_t>(at_);
    const auto end = std::find(begin, bytes_.end(), 0);
    if (end == bytes_.end())
        throw FormatError(path_, "ends inside a name");
    std::string value(begin, end);
    at_ += value.size() + 1;
    return value;
}

std::string ByteCursor::text(size_t width) {
    const auto* start = reinterpret_cast<const char*>(take(width));
    return std::string(start, std::find(start, start + width, '\0'));
}

}  // namespace px
