#include "Sqlite.h"

#include <limits>
#include <stdexcept>

#include "ado/Connection.h"
#include "data/Datatype.h"

using px::FieldType;

namespace {

constexpr int kRowsAtATime = 10000;

// The name under which SQLite gives a row's own rowid: "rowid", "_rowid_" and "oid" all do,
// unless a column of the table has that name.
QString freeRowidAlias(const QStringList& columnNames) {
    for (const QString& alias :
         {QStringLiteral("rowid"), QStringLiteral("_rowid_"), QStringLiteral("oid")})
        if (!columnNames.contains(alias, Qt::CaseInsensitive))
            return alias;
    return {};
}

}  // namespace

QString Sqlite::typedColumnType(const px::Field& field, bool) const {
    return commonType(field);
}

QString Sqlite::valueLiteral(const px::Value& value) const {
    QString text = QString::fromStdString(value.toText());
    if (value.kind() != px::Value::Kind::Timestamp)
        return TargetProduct::valueLiteral(value);
    if (!text.contains(QLatin1Char('.')))
        text += QStringLiteral(".000");
    return literal(text);
}

bool Sqlite::counts(const std::vector<px::Field>& fields, int keyFields, bool blankCounter) {
    return !blankCounter && keyFields == 1 && fields[0].type == FieldType::AutoIncrement;
}

QStringList Sqlite::keyStatements(const QString& table, const std::vector<px::Field>& fields,
                                  int keyFields, bool blankCounter) const {
    if (keyFields <= 0 || keyFields > static_cast<int>(fields.size()))
        return {};
    return rebuild({table, fields, keyFields, blankCounter, {}, {}, {}}, false);
}

QStringList Sqlite::rebuild(const TableDefinition& definition, bool keepCounter) const {
    // SQLite adds no key or constraint to a table that exists: the table is made again with
    // them, the rows are moved into it, and it takes the old one's place, counter included.
    const QString& table = definition.table;
    const std::vector<px::Field>& fields = definition.fields;
    const QString name = Datatype::QuotedName(table);
    const QString keyedName = table + QStringLiteral("__morvane_key");
    const QString keyed = Datatype::QuotedName(keyedName);
    const bool counted = counts(fields, definition.keyFields, definition.blankCounter);
    QStringList definitions, keyColumns;
    for (size_t i = 0; i < fields.size(); ++i) {
        QString column = quoted(fields[i]) + QLatin1Char(' ') +
                         (counted && i == 0 ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                                            : typedColumnType(fields[i], definition.blankCounter));
        for (const ColumnRules& rules : definition.columns) {
            if (rules.field.name != fields[i].name)
                continue;
            if (rules.required)
                column += QStringLiteral(" NOT NULL");
            if (!rules.defaultValue.isEmpty())
                column += QStringLiteral(" DEFAULT ") + rules.defaultValue;
            if (const QString range = rangeCondition(rules); !range.isEmpty())
                column += QStringLiteral(" CHECK (") + range + QLatin1Char(')');
        }
        definitions << column;
    }
    for (int i = 0; i < definition.keyFields; ++i)
        keyColumns << quoted(fields[static_cast<size_t>(i)]);
    if (!counted && definition.keyFields > 0)
        definitions << QStringLiteral("PRIMARY KEY (") + keyColumns.join(QStringLiteral(", ")) +
                           QLatin1Char(')');
    for (const ForeignKey& key : definition.foreignKeys)
        definitions << foreignKeyClause(key);
    QStringList statements{
        QStringLiteral("CREATE TABLE ") + keyed + QLatin1Char('(') +
            definitions.join(QStringLiteral(", ")) + QLatin1Char(')'),
        QStringLiteral("INSERT INTO ") + keyed + QStringLiteral(" SELECT * FROM ") + name};
    if (counted && keepCounter) {
        const QString own = QStringLiteral("(SELECT seq FROM sqlite_sequence WHERE name = ") +
                            literal(table) + QLatin1Char(')');
        statements << QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ifnull(") + own +
                          QStringLiteral(", 0)) WHERE name = ") + literal(keyedName)
                   << QStringLiteral("INSERT INTO sqlite_sequence(name, seq) SELECT ") +
                          literal(keyedName) + QStringLiteral(", ") + own +
                          QStringLiteral(" WHERE ") + own +
                          QStringLiteral(
                              " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM "
                              "sqlite_sequence WHERE name = ") +
                          literal(keyedName) + QLatin1Char(')');
    }
    return statements << QStringLiteral("DROP TABLE ") + name
                      << QStringLiteral("ALTER TABLE ") + keyed + QStringLiteral(" RENAME TO ") +
                             name;
}

std::vector<DefinitionStep> Sqlite::definitionSteps(const TableDefinition& definition) const {
    std::vector<DefinitionStep> steps;
    bool constrained = false;
    for (const ColumnRules& rules : definition.columns)
        constrained = constrained || rules.required || !rules.defaultValue.isEmpty() ||
                      !rangeCondition(rules).isEmpty();
    if (constrained)
        steps.push_back({QStringLiteral("its required fields, defaults and checks cannot be made"),
                         rebuild(definition, true)});
    for (const IndexDefinition& index : definition.indexes)
        steps.push_back(indexStep(definition.table, index));
    return steps;
}

std::vector<DefinitionStep> Sqlite::foreignKeySteps(const TableDefinition& definition) const {
    // The rebuild drops the table's indexes with it: they are made again.
    QStringList keyNames;
    for (const ForeignKey& key : definition.foreignKeys)
        keyNames << key.parent;
    std::vector<DefinitionStep> steps{
        {QStringLiteral("no foreign key to ") + keyNames.join(QStringLiteral(", ")),
         rebuild(definition, true)}};
    for (const IndexDefinition& index : definition.indexes)
        steps.push_back(indexStep(definition.table, index));
    return steps;
}

QStringList Sqlite::counterStatements(const QString& table, const std::vector<px::Field>& fields,
                                      int keyFields, long long above, bool blankCounter) const {
    if (!autoIncrementField(fields) || !counts(fields, keyFields, blankCounter))
        return {};
    const QString above_ = QString::number(above);
    return {QStringLiteral("UPDATE sqlite_sequence SET seq = ") + above_ +
                QStringLiteral(" WHERE name = ") + literal(table) + QStringLiteral(" AND seq < ") +
                above_,
            QStringLiteral("INSERT INTO sqlite_sequence(name, seq) SELECT ") + literal(table) +
                QStringLiteral(", ") + above_ +
                QStringLiteral(" WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = ") +
                literal(table) + QLatin1Char(')')};
}

TargetProduct::ReadBack Sqlite::readBack(const QString& column, ado::ValueType type,
                                         bool numeric) const {
    if (!numeric && type != ado::ValueType::Double && type != ado::ValueType::Decimal)
        return TargetProduct::readBack(column, type, numeric);
    // Its driver gives a REAL with 15 digits, which may not name it exactly; its own printf
    // gives 17.
    return {QStringLiteral("CASE typeof(") + column +
                QStringLiteral(") WHEN 'real' THEN printf('%!.17g', ") + column +
                QStringLiteral(") ELSE ") + column + QStringLiteral(" END"),
            ado::ValueType::Text, true};
}

// In the order of the rowid every table made here has, a page after the last one read; in one
// statement when every alias of the rowid is a column's name.
void Sqlite::readRows(ado::Connection& connection, const QString& table, const QStringList& columns,
                      const QStringList& columnNames, const std::vector<ado::ValueType>& readAs,
                      const RowHandler& row, const QStringList& orderBy) const {
    const QString rowid = freeRowidAlias(columnNames);
    if (rowid.isEmpty() || !orderBy.isEmpty())
        return TargetProduct::readRows(connection, table, columns, columnNames, readAs, row,
                                       orderBy);
    std::vector<ado::ValueType> types = readAs;
    types.insert(types.begin(), ado::ValueType::Integer);
    const QString select = QStringLiteral("SELECT ") + rowid + QStringLiteral(", ") +
                           columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + table +
                           QStringLiteral(" WHERE ") + rowid + QStringLiteral(" > ");
    const QString order = QStringLiteral(" ORDER BY ") + rowid + QStringLiteral(" LIMIT ") +
                          QString::number(kRowsAtATime);
    std::vector<ado::Variant> values;
    for (long long last = std::numeric_limits<long long>::min(), handed = kRowsAtATime;
         handed == kRowsAtATime;) {
        const auto page = connection.QueryEveryRow(select + QString::number(last) + order, types,
                                                   textComesAsUtf8(connection));
        for (handed = 0; !page->Eof(); page->MoveNext(), ++handed) {
            const std::vector<ado::Variant>& current = page->CurrentRow();
            const long long id = current.front().asInteger();
            // Each page starts after the last: a rowid that does not grow would read for ever.
            if (id <= last)
                throw std::runtime_error("SQLite gave the rows of " + table.toStdString() +
                                         " out of the order of their rowid.");
            last = id;
            values.assign(current.begin() + 1, current.end());
            row(values);
        }
    }
}
