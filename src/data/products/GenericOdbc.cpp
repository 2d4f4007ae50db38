#include "GenericOdbc.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "ado/Connection.h"

using px::FieldType;

namespace {

// The ODBC SQL data types that stand for a field, best first.
std::vector<int> sqlTypesFor(FieldType type) {
    switch (type) {
        case FieldType::Alpha:
            return {SQL_WVARCHAR, SQL_VARCHAR};
        case FieldType::Memo:
            return {SQL_WLONGVARCHAR, SQL_LONGVARCHAR};
        case FieldType::Short:
            return {SQL_SMALLINT, SQL_INTEGER};
        case FieldType::Long:
        case FieldType::AutoIncrement:
            return {SQL_INTEGER, SQL_BIGINT};
        case FieldType::Money:
        case FieldType::Number:
            return {SQL_DOUBLE, SQL_FLOAT};
        case FieldType::Bcd:
            return {SQL_NUMERIC, SQL_DECIMAL};
        case FieldType::Date:
            return {SQL_TYPE_DATE};
        case FieldType::Time:
            return {SQL_TYPE_TIME};
        case FieldType::Timestamp:
            return {SQL_TYPE_TIMESTAMP};
        case FieldType::Logical:
            return {SQL_BIT, SQL_SMALLINT};
        case FieldType::Bytes:
            return {SQL_VARBINARY, SQL_LONGVARBINARY};
        case FieldType::Blob:
        case FieldType::FormattedMemo:
        case FieldType::Ole:
        case FieldType::Graphic:
            return {SQL_LONGVARBINARY};
    }
    return {};
}

}  // namespace

GenericOdbc::TypeNames GenericOdbc::typeNamesOf(ado::Connection& connection) {
    TypeNames names;
    const auto types = connection.TypeInfo();
    for (; !types->Eof(); types->MoveNext()) {
        const auto text = [&](const char* column) {
            return QString::fromStdString(
                types->Fields(QString::fromLatin1(column)).Value().toText());
        };
        const int dataType = text("DATA_TYPE").toInt();
        // The first name for each type is the driver's own choice.
        if (!names.contains(dataType))
            names[dataType] = {text("TYPE_NAME"), !text("CREATE_PARAMS").isEmpty()};
    }
    return names;
}

QString GenericOdbc::typedColumnType(const px::Field& field, bool) const {
    for (int sqlType : sqlTypesFor(field.type)) {
        const auto found = typeNames_.find(sqlType);
        if (found == typeNames_.end())
            continue;
        const TypeName& type = found->second;
        if (!type.takesLength)
            return type.name;
        if (field.type == FieldType::Bcd)
            return type.name + QStringLiteral("(32, ") + QString::number(field.decimals) +
                   QLatin1Char(')');
        if (field.type == FieldType::Alpha || field.type == FieldType::Bytes)
            return type.name + QLatin1Char('(') + QString::number(field.size) + QLatin1Char(')');
        return type.name;
    }
    // A target without any such type takes the value as text.
    return typeNames_.contains(SQL_LONGVARCHAR) ? typeNames_.at(SQL_LONGVARCHAR).name
                                                : QStringLiteral("VARCHAR(255)");
}

QString GenericOdbc::typedNotice() const {
    return QStringLiteral("Typed mapping for ") + displayName() +
           QStringLiteral(
               ", a product not known by name: each type is the first its driver lists for "
               "the kind of field (SQLGetTypeInfo); AutoInc fields become plain integers "
               "without a counter.");
}

bool GenericOdbc::setsDefaults() const {
    return info_.alterTable & SQL_AT_SET_COLUMN_DEFAULT;
}

bool GenericOdbc::addsConstraints() const {
    return info_.alterTable & (SQL_AT_ADD_CONSTRAINT | SQL_AT_ADD_TABLE_CONSTRAINT);
}

QString GenericOdbc::leftOut() const {
    QStringList parts{QStringLiteral("required fields"), QStringLiteral("pictures")};
    if (!setsDefaults())
        parts << QStringLiteral("defaults");
    if (!addsConstraints())
        parts << QStringLiteral("range checks") << QStringLiteral("foreign keys");
    if (!info_.createsIndexes)
        parts << QStringLiteral("secondary indexes");
    return parts.join(QStringLiteral(", ")) +
           QStringLiteral(": its ODBC driver names no statement for them");
}

std::vector<DefinitionStep> GenericOdbc::definitionSteps(const TableDefinition& definition) const {
    std::vector<DefinitionStep> steps;
    for (const ColumnRules& rules : definition.columns) {
        if (setsDefaults() && !rules.defaultValue.isEmpty())
            steps.push_back(defaultStep(definition.table, rules));
        if (addsConstraints() && !rangeCondition(rules).isEmpty())
            steps.push_back(rangeStep(definition.table, rules));
    }
    if (info_.createsIndexes)
        for (const IndexDefinition& index : definition.indexes)
            steps.push_back(indexStep(definition.table, index));
    return steps;
}

std::vector<DefinitionStep> GenericOdbc::foreignKeySteps(const TableDefinition& definition) const {
    return addsConstraints() ? TargetProduct::foreignKeySteps(definition)
                             : std::vector<DefinitionStep>{};
}
