#include "TypedMapping.h"

#include "Datatype.h"

namespace TypedMapping {

namespace {

using px::FieldType;

ado::ValueType valueTypeOf(FieldType type) {
    switch (type) {
        case FieldType::Alpha:
        case FieldType::Memo:
            return ado::ValueType::Text;
        case FieldType::Short:
        case FieldType::Long:
        case FieldType::AutoIncrement:
            return ado::ValueType::Integer;
        case FieldType::Money:
        case FieldType::Number:
            return ado::ValueType::Double;
        case FieldType::Bcd:
            return ado::ValueType::Decimal;
        case FieldType::Date:
            return ado::ValueType::Date;
        case FieldType::Time:
            return ado::ValueType::Time;
        case FieldType::Timestamp:
            return ado::ValueType::Timestamp;
        case FieldType::Logical:
            return ado::ValueType::Boolean;
        case FieldType::Bytes:
        case FieldType::Blob:
        case FieldType::FormattedMemo:  // a binary structure of text runs and formats
        case FieldType::Ole:
        case FieldType::Graphic:
            return ado::ValueType::Binary;
    }
    return ado::ValueType::Text;
}

}  // namespace

Column Mapping::columnFor(const px::Field& field, bool blankCounter) const {
    return {product_.typedColumnType(field, blankCounter), valueTypeOf(field.type)};
}

QString Mapping::definitions(const std::vector<px::Field>& fields, bool blankCounter,
                             const std::vector<std::optional<QString>>& chosen) const {
    QStringList definitions;
    for (size_t i = 0; i < fields.size(); ++i)
        definitions << Datatype::QuotedName(QString::fromStdString(fields[i].name)) +
                           QLatin1Char(' ') +
                           (i < chosen.size() && chosen[i]
                                ? *chosen[i]
                                : columnFor(fields[i], blankCounter).definition);
    return definitions.join(QStringLiteral(", "));
}

}  // namespace TypedMapping
