#pragma once

#include <cstdint>
#include <string>

namespace px {

enum class FieldType : uint8_t {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Money = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoIncrement = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

struct Field {
    std::string name;  // UTF-8
    FieldType type;
    int size;      // bytes in the record
    int decimals;  // BCD only: digits after the point

    // The ADO DataTypeEnum code a database driver reports for this field.
    int adoType() const;
    // The field type as Paradox names it: "Alpha(30)", "Number", "BCD(2)", "Bytes(16)"...
    std::string typeName() const;
    // Memos and blobs: the record holds a leader and the blob file the rest.
    bool isBlob() const {
        return type == FieldType::Memo || type == FieldType::Blob ||
               type == FieldType::FormattedMemo || type == FieldType::Ole ||
               type == FieldType::Graphic;
    }
};

// The size a field of a fixed-size type must have, or 0 for the types whose size varies.
int fixedSizeOf(FieldType type);
bool isKnownFieldType(uint8_t code);

}  // namespace px
