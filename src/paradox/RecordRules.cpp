#include "RecordRules.h"

#include <cmath>
#include <cstring>

#include "StoredBytes.h"

namespace px {

namespace {

// Milliseconds from the day before 0001-01-01, where a timestamp counts from.
constexpr double kFirstTimestamp = double(kFirstDay) * double(kMillisecondsPerDay);
constexpr double kEndOfTimestamps = double(kLastDay + 1) * double(kMillisecondsPerDay);

}  // namespace

namespace {

uint32_t bigEndian32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint64_t bigEndian64(const unsigned char* p) {
    return uint64_t(bigEndian32(p)) << 32 | bigEndian32(p + 4);
}

// A four-byte integer as stored: big-endian with its sign bit flipped; all zeros is blank.
int64_t stored32(uint32_t bits) {
    return static_cast<int32_t>(bits ^ 0x80000000u);
}

}  // namespace

const char* storedValueFault(const Field& field, const unsigned char* data) {
    switch (field.type) {
        case FieldType::Logical:
            // Blank, false or true: the stored byte carries the sign bit of every value.
            return data[0] == 0 || data[0] == 0x80 || data[0] == 0x81
                       ? nullptr
                       : "holds a byte that is neither true, false nor blank";
        case FieldType::Date: {
            const uint32_t bits = bigEndian32(data);
            const int64_t day = stored32(bits);
            return bits == 0 || (day >= kFirstDay && day <= kLastDay)
                       ? nullptr
                       : "holds no date between 1 January 100 and 31 December 9999";
        }
        case FieldType::Time: {
            const uint32_t bits = bigEndian32(data);
            const int64_t ms = stored32(bits);
            return bits == 0 || (ms >= 0 && ms < kMillisecondsPerDay) ? nullptr
                                                                      : "holds no time of day";
        }
        case FieldType::Timestamp: {
            if (bigEndian64(data) == 0)
                return nullptr;
            const double ms = storedDouble(data);
            return ms >= kFirstTimestamp && ms < kEndOfTimestamps
                       ? nullptr
                       : "holds no timestamp between 1 January 100 and 31 December 9999";
        }
        case FieldType::Number:
        case FieldType::Money: {
            // A positive double is stored with its sign flipped, a negative one with every bit:
            // either way its exponent is all ones only for an infinity or a NaN.
            const uint64_t bits = bigEndian64(data);
            const uint64_t exponent = ((bits >> 63) ? bits : ~bits) >> 52 & 0x7FF;
            return bits == 0 || exponent != 0x7FF ? nullptr
                                                  : "holds no number (an infinity or NaN)";
        }
        default:
            break;
    }
    if (field.isBlob()) {
        const auto size = static_cast<size_t>(field.size);
        const unsigned char* trailer = data + size - kBlobTrailer;
        const uint32_t length = le32(trailer + 4);
        // Without a blob in the blob file, the whole value lies in the leader.
        if (le32(trailer) == 0 && length > size - kBlobTrailer)
            return "holds a value longer than its record has room for, and no blob";
        if (length > 0x7FFFFFFF)
            return "holds a blob length no file can hold";
    }
    return nullptr;
}

bool hasValueRules(const Field& field) {
    switch (field.type) {
        case FieldType::Logical:
        case FieldType::Date:
        case FieldType::Time:
        case FieldType::Timestamp:
        case FieldType::Number:
        case FieldType::Money:
            return true;
        default:
            return field.isBlob();
    }
}

bool paddedWithZeros(const unsigned char* data, size_t size) {
    const void* end = std::memchr(data, 0, size);
    if (!end)
        return true;
    const auto at = static_cast<size_t>(static_cast<const unsigned char*>(end) - data);
    return allZero(data + at, size - at);
}

}  // namespace px
