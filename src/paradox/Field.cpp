#include "Field.h"

namespace px {

int Field::adoType() const {
    switch (type) {
        case FieldType::Alpha:
            return 200;  // adVarChar
        case FieldType::Date:
            return 133;  // adDBDate
        case FieldType::Short:
            return 2;  // adSmallInt
        case FieldType::Long:
        case FieldType::AutoIncrement:
            return 3;  // adInteger
        case FieldType::Money:
            return 6;  // adCurrency
        case FieldType::Number:
            return 5;  // adDouble
        case FieldType::Logical:
            return 11;  // adBoolean
        case FieldType::Memo:
            return 201;  // adLongVarChar
        case FieldType::Blob:
        case FieldType::FormattedMemo:
        case FieldType::Ole:
        case FieldType::Graphic:
            return 205;  // adLongVarBinary
        case FieldType::Time:
            return 134;  // adDBTime
        case FieldType::Timestamp:
            return 135;  // adDBTimeStamp
        case FieldType::Bcd:
            return 131;  // adNumeric
        case FieldType::Bytes:
            return 128;  // adBinary
    }
    return 0;
}

std::string Field::typeName() const {
    switch (type) {
        case FieldType::Alpha:
            return "Alpha(" + std::to_string(size) + ")";
        case FieldType::Date:
            return "Date";
        case FieldType::Short:
            return "Short";
        case FieldType::Long:
            return "Long";
        case FieldType::Money:
            return "Money";
        case FieldType::Number:
            return "Number";
        case FieldType::Logical:
            return "Logical";
        case FieldType::Memo:
            return "Memo";
        case FieldType::Blob:
            return "Blob";
        case FieldType::FormattedMemo:
            return "Formatted memo";
        case FieldType::Ole:
            return "OLE";
        case FieldType::Graphic:
            return "Graphic";
        case FieldType::Time:
            return "Time";
        case FieldType::Timestamp:
            return "Timestamp";
        case FieldType::AutoIncrement:
            return "AutoInc";
        case FieldType::Bcd:
            return "BCD(" + std::to_string(decimals) + ")";
        case FieldType::Bytes:
            return "Bytes(" + std::to_string(size) + ")";
    }
    return "unknown";
}

int fixedSizeOf(FieldType type) {
    switch (type) {
        case FieldType::Logical:
            return 1;
        case FieldType::Short:
            return 2;
        case FieldType::Date:
        case FieldType::Long:
        case FieldType::Time:
        case FieldType::AutoIncrement:
            return 4;
        case FieldType::Money:
        case FieldType::Number:
        case FieldType::Timestamp:
            return 8;
        case FieldType::Bcd:
            return 17;
        default:
            return 0;
    }
}

bool isKnownFieldType(uint8_t code) {
    switch (code) {
        case 0x01:
        case 0x02:
        case 0x03:
        case 0x04:
        case 0x05:
        case 0x06:
        case 0x09:
        case 0x0C:
        case 0x0D:
        case 0x0E:
        case 0x0F:
        case 0x10:
        case 0x14:
        case 0x15:
        case 0x16:
        case 0x17:
        case 0x18:
            return true;
        default:
            return false;
    }
}

}  // namespace px
