#include "ValidityFile.h"

#include <strings.h>

#include <cstdio>

#include "ByteCursor.h"
#include "File.h"
#include "Table.h"
#include "TableFiles.h"

namespace px {

namespace {

// The header.
constexpr size_t kVersionAt = 0x01;
constexpr size_t kCheckCountAt = 0x02;
constexpr size_t kFooterAt = 0x09;  // where the field list starts
constexpr size_t kFirstCheck = 0x35;
constexpr int kFirstVersion = 0x09;
constexpr int kLastVersion = 0x0B;

// One field's checks: its place in the field list, the picture's length, whether it is
// required, how a lookup fills fields, then six words, each non-zero where the field has that
// check: its values follow in this order.
constexpr size_t kLookupTableName = 0x1A;
constexpr size_t kLookupRest = 0x36;

// One relationship of the table as a child: 0x1E0 bytes.
constexpr size_t kRelationshipSize = 0x1E0;
constexpr size_t kRelationshipName = 0x40;
constexpr size_t kParentTableAt = 0xD4;
constexpr size_t kParentTableName = 0x72;
constexpr size_t kUpdateRuleAt = 0x19A;  // 1: cascade
constexpr size_t kChildFieldsAt = 0x1A0;
constexpr size_t kParentFieldsAt = 0x1C0;
constexpr size_t kMostRelatedFields = 16;

// The field list at the end of the file: the type and size each field had when the checks were
// written, then the table's name and the fields' names.
constexpr size_t kTableNameSize = 0x4F;

}  // namespace

ValidityChecks readValidityFile(const std::string& path, Table& table) {
    const File file(path);
    std::vector<unsigned char> bytes(static_cast<size_t>(file.size()));
    file.readAt(0, bytes.data(), bytes.size());
    ByteCursor cursor(path, std::move(bytes));

    cursor.moveTo(kVersionAt);
    const int version = cursor.byte();
    if (version < kFirstVersion || version > kLastVersion) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", version);
        throw UnknownValidityVersion(
            path, std::string("holds validity checks of a version (") + hex + ") not known here");
    }
    cursor.moveTo(kCheckCountAt);
    const int checkCount = cursor.byte();
    cursor.moveTo(kFooterAt);
    const uint32_t footerAt = cursor.longWord();
    const uint32_t relationshipsAt = cursor.longWord();

    // The field list names the fields the checks refer to by their place.
    cursor.moveTo(footerAt);
    const size_t fieldCount = cursor.word();
    cursor.skip(4 + 2 * fieldCount);  // and each field's number, which nothing here needs
    std::vector<Field> fields(fieldCount);
    for (Field& field : fields) {
        field.type = static_cast<FieldType>(cursor.byte());
        field.size = cursor.byte();
    }
    // The names end the file, which must hold them whole; they may be older than the table's own (a
    // field renamed since): the fields are the table's, by their place, which must hold the same
    // type and size (a BCD field's size byte is its decimals, as in the table's header).
    cursor.skip(kTableNameSize);
    for (size_t i = 0; i < fieldCount; ++i)
        cursor.text();
    if (fieldCount != table.fields().size())
        throw FormatError(path, "lists " + std::to_string(fieldCount) + " fields, its table " +
                                    std::to_string(table.fields().size()));
    for (size_t i = 0; i < fieldCount; ++i) {
        const Field& own = table.fields()[i];
        const int ownSize = own.type == FieldType::Bcd ? own.decimals : own.size;
        if (own.type != fields[i].type || ownSize != fields[i].size)
            throw FormatError(
                path, "was written for another layout of its table (field " + own.name + ")");
        fields[i] = own;
    }
    const auto fieldAt = [&](size_t place) -> const Field& {
        if (place >= fields.size())
            throw FormatError(path, "refers to a field its list does not have");
        return fields[place];
    };

    ValidityChecks checks;
    cursor.moveTo(kFirstCheck);
    for (int i = 0; i < checkCount; ++i) {
        const Field& field = fieldAt(cursor.byte());
        const size_t pictureSize = cursor.byte();
        FieldChecks& checked = checks.fields.emplace_back();
        checked.field = field.name;
        checked.required = cursor.byte() != 0;
        cursor.skip(1);  // how a lookup fills fields in Paradox's own forms
        const bool lookup = cursor.longWord() != 0;
        cursor.skip(4);
        const bool minimum = cursor.longWord() != 0;
        const bool maximum = cursor.longWord() != 0;
        const bool defaultValue = cursor.longWord() != 0;
        const bool picture = cursor.longWord() != 0;
        if (lookup) {
            checked.lookupTable = cursor.text(kLookupTableName);
            cursor.skip(kLookupRest);
        }
        const auto value = [&] {
            if (field.isBlob())
                throw FormatError(path, "holds a value check on the memo or blob " + field.name);
            return table.decodeStored(field, cursor.take(static_cast<size_t>(field.size)));
        };
        if (minimum)
            checked.minimum = value();
        if (maximum)
            checked.maximum = value();
        if (defaultValue)
            checked.defaultValue = value();
        if (picture)
            checked.picture = cursor.text(pictureSize);
    }

    if (relationshipsAt == 0)
        return checks;
    cursor.moveTo(relationshipsAt);
    // A parent's file lists its children instead: a count of 0.
    const size_t relationships = cursor.word();
    for (size_t i = 0; i < relationships; ++i) {
        const size_t start = cursor.at();
        Relationship& related = checks.relationships.emplace_back();
        related.name = cursor.text(kRelationshipName);
        cursor.moveTo(start + kParentTableAt);
        related.parentTable = cursor.text(kParentTableName);
        cursor.moveTo(start + kUpdateRuleAt);
        related.cascadesUpdates = cursor.longWord() == 1;
        const size_t relatedFields = cursor.word();
        if (relatedFields == 0 || relatedFields > kMostRelatedFields)
            throw FormatError(
                path, "holds a relationship of " + std::to_string(relatedFields) + " fields");
        cursor.moveTo(start + kChildFieldsAt);
        for (size_t f = 0; f < relatedFields; ++f)
            related.fields.push_back(fieldAt(cursor.word() - size_t{1}).name);
        cursor.moveTo(start + kParentFieldsAt);
        for (size_t f = 0; f < relatedFields; ++f)
            related.parentFieldNumbers.push_back(cursor.word());
        cursor.moveTo(start + kRelationshipSize);
    }
    return checks;
}

std::optional<std::string> validityFileOf(const std::string& tablePath) {
    const size_t slash = tablePath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : tablePath.substr(0, slash);
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    const std::string base = tablePath.substr(nameAt, tablePath.rfind('.') - nameAt);
    for (const std::string& name : tableFilesOf(folder, base))
        if (strcasecmp(name.c_str() + name.size() - 4, ".VAL") == 0)
            return folder + "/" + name;
    return std::nullopt;
}

}  // namespace px
