#pragma once

// What the bytes of a record may hold, field by field: the evidence that tells a row from damage.
// A value its type cannot hold is damage; text and eight-byte numbers hold any bytes, so only a
// number that is no number at all (infinite, NaN) is told as damage among them.
#include <cstddef>
#include <cstdint>

#include "Field.h"

namespace px {

// Paradox dates run from 1 January 100 to 31 December 9999, as day numbers with 0001-01-01 as
// day 1; a time of day is a count of milliseconds.
constexpr int32_t kFirstDay = 36160;
constexpr int32_t kLastDay = 3652059;
constexpr int64_t kMillisecondsPerDay = 86400000;

// Why `field`'s stored bytes at `data` are no value of its type ("holds no date between ..."),
// or nullptr for a value or a blank. Memos and blobs are judged by their record's part only
// (the blob file is read later).
const char* storedValueFault(const Field& field, const unsigned char* data);

// Whether storedValueFault() can find anything wrong with a value of `field`.
bool hasValueRules(const Field& field);

// Whether an Alpha field's bytes are text as writers leave it: zeros from the text's end on.
// Writers may differ here, so this is evidence for the salvage reading only.
bool paddedWithZeros(const unsigned char* data, size_t size);

}  // namespace px
