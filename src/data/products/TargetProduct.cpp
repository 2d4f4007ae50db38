#include "TargetProduct.h"

#include <QCryptographicHash>

#include <algorithm>

#include "GenericOdbc.h"
#include "MariaDb.h"
#include "PostgreSql.h"
#include "ReservedWords.h"
#include "SqlAnywhere.h"
#include "Sqlite.h"
#include "ado/Connection.h"
#include "data/Datatype.h"

namespace {

// What ends every work table's name.
const QString kWorkSuffix = QStringLiteral("__morvane_new");

}  // namespace

std::unique_ptr<TargetProduct> TargetProduct::of(ado::Connection& connection) {
    ado::DataSourceInfo info = connection.Info();
    const QString& name = info.dbmsName;
    std::unique_ptr<TargetProduct> product;
    if (name.contains(QStringLiteral("Anywhere"), Qt::CaseInsensitive))
        product =
            std::make_unique<SqlAnywhere>(std::move(info));  // also "Adaptive Server Anywhere"
    else if (name.startsWith(QStringLiteral("PostgreSQL"), Qt::CaseInsensitive))
        product = std::make_unique<PostgreSql>(std::move(info));
    else if (name.startsWith(QStringLiteral("MariaDB"), Qt::CaseInsensitive) ||
             name.startsWith(QStringLiteral("MySQL"), Qt::CaseInsensitive))
        product = std::make_unique<MariaDb>(std::move(info));
    else if (name.startsWith(QStringLiteral("SQLite"), Qt::CaseInsensitive))
        product = std::make_unique<Sqlite>(std::move(info));
    else
        product =
            std::make_unique<GenericOdbc>(std::move(info), GenericOdbc::typeNamesOf(connection));
    for (const QString& statement : product->sessionStatements())
        connection.Execute(statement);
    product->schema_ = product->currentSchema(connection);
    return product;
}

QString TargetProduct::displayName() const {
    return info_.dbmsName.isEmpty() ? QStringLiteral("the data source") : info_.dbmsName;
}

QString TargetProduct::nameTooLong(const QString& what, const QString& name, int limit) const {
    if (limit <= 0)
        return {};
    const bool inBytes = namesInBytes();
    const qsizetype length = inBytes ? name.toUtf8().size() : name.toUcs4().size();
    if (length <= limit)
        return {};
    const QString unit = inBytes ? QStringLiteral("bytes") : QStringLiteral("characters");
    return QStringLiteral("The ") + what + QStringLiteral(" name \"") + name +
           QStringLiteral("\" is ") + QString::number(length) + QLatin1Char(' ') + unit +
           QStringLiteral(" long; the data source allows ") + QString::number(limit) +
           QLatin1Char(' ') + unit + QLatin1Char('.');
}

bool TargetProduct::reaches(const QString& catalog, const QString& schema) const {
    // A driver that names no catalog for the table, or none for the connection, lists only
    // what the connection reaches.
    const bool inCatalog = catalog.isEmpty() || info_.catalog.isEmpty() ||
                           catalog.compare(info_.catalog, namesOfSchemas()) == 0;
    const bool inSchema = schema_.isEmpty() || schema.compare(schema_, namesOfSchemas()) == 0;
    return inCatalog && inSchema;
}

QString TargetProduct::workTableName(const QString& table) const {
    return derivedName(table, kWorkSuffix);
}

bool TargetProduct::schemaExists(ado::Connection& connection, const QString& schema) const {
    const QString query = schemaCountQuery(schema);
    return !query.isEmpty() &&
           connection.Query(query, {ado::ValueType::Integer})->Fields(0).Value().asInteger() > 0;
}

bool TargetProduct::createSchema(ado::Connection&, const QString&) const {
    return false;
}

void TargetProduct::useSchema(ado::Connection& connection, const QString& schema) {
    const QStringList statements = useSchemaStatements(schema);
    if (statements.isEmpty())
        throw std::runtime_error(displayName().toStdString() +
                                 " has no schemas to put the tables in");
    for (const QString& statement : statements)
        connection.Execute(statement);
    if (home_.isEmpty())
        home_ = schema_.isEmpty() ? info_.catalog : schema_;
    // What names a table a listing gives as reached.
    (schema_.isEmpty() ? info_.catalog : schema_) = schema;
    chosen_ = schema;
}

QString TargetProduct::atHome(const QString& table) const {
    if (chosen_.isEmpty() || home_.isEmpty() || chosen_ == home_)
        return Datatype::QuotedName(table);
    return Datatype::QuotedName(home_) + QLatin1Char('.') + Datatype::QuotedName(table);
}

bool TargetProduct::reserves(const QString& word) const {
    return ReservedWords::sqlStandard(word);
}

QString TargetProduct::derivedName(const QString& table, const QString& suffix) const {
    const QString whole = table + suffix;
    if (nameTooLong(QString(), whole, info_.maxTableNameLength).isEmpty())
        return whole;
    // Too long: as much of the name as fits, and a digest of all of it, so that two long names
    // that begin alike get names of their own.
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash(whole.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    const QString tail = QLatin1Char('_') + digest + suffix;
    QList<uint> characters = table.toUcs4();
    QString cut;
    do {
        cut = QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()),
                                characters.size()) +
              tail;
        if (!characters.isEmpty())
            characters.removeLast();
    } while (!nameTooLong(QString(), cut, info_.maxTableNameLength).isEmpty() &&
             !characters.isEmpty());
    return cut;
}

bool TargetProduct::isWorkTableName(const QString& table) {
    return table.endsWith(kWorkSuffix, Qt::CaseInsensitive);
}

QString TargetProduct::tableOfWorkTable(const QString& work) {
    return work.left(work.size() - kWorkSuffix.size());
}

QString TargetProduct::addPrimaryKey(const QString& table, const std::vector<px::Field>& fields,
                                     int keyFields) {
    QStringList columns;
    for (int i = 0; i < keyFields; ++i)
        columns << quoted(fields[static_cast<size_t>(i)]);
    return QStringLiteral("ALTER TABLE ") + Datatype::QuotedName(table) +
           QStringLiteral(" ADD PRIMARY KEY (") + columns.join(QStringLiteral(", ")) +
           QLatin1Char(')');
}

QStringList TargetProduct::keyStatements(const QString& table, const std::vector<px::Field>& fields,
                                         int keyFields, bool) const {
    if (keyFields <= 0 || keyFields > static_cast<int>(fields.size()))
        return {};
    return {addPrimaryKey(table, fields, keyFields)};
}

QStringList TargetProduct::counterStatements(const QString&, const std::vector<px::Field>&, int,
                                             long long, bool) const {
    return {};
}

QString TargetProduct::renameStatement(const QString& from, const QString& to) const {
    return QStringLiteral("ALTER TABLE ") + Datatype::QuotedName(from) +
           QStringLiteral(" RENAME TO ") + Datatype::QuotedName(to);
}

QString TargetProduct::orderClause(const QStringList& orderBy) {
    return orderBy.isEmpty() ? QString()
                             : QStringLiteral(" ORDER BY ") + orderBy.join(QStringLiteral(", "));
}

TargetProduct::ReadBack TargetProduct::readBack(const QString& column, ado::ValueType type,
                                                bool numeric) const {
    return {column, numeric ? ado::ValueType::Decimal : type, false};
}

void TargetProduct::readRows(ado::Connection& connection, const QString& table,
                             const QStringList& columns, const QStringList&,
                             const std::vector<ado::ValueType>& readAs, const RowHandler& row,
                             const QStringList& orderBy) const {
    const auto rows =
        connection.QueryEveryRow(QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
                                     QStringLiteral(" FROM ") + table + orderClause(orderBy),
                                 readAs, textComesAsUtf8(connection));
    for (; !rows->Eof(); rows->MoveNext())
        row(rows->CurrentRow());
}

QString TargetProduct::commonType(const px::Field& field) {
    using px::FieldType;
    switch (field.type) {
        case FieldType::Alpha:
            return QStringLiteral("VARCHAR(") + QString::number(field.size) + QLatin1Char(')');
        case FieldType::Memo:
            return QStringLiteral("TEXT");
        case FieldType::Short:
            return QStringLiteral("SMALLINT");
        case FieldType::Long:
        case FieldType::AutoIncrement:
            return QStringLiteral("INTEGER");
        case FieldType::Money:
        case FieldType::Number:
            return QStringLiteral("DOUBLE");
        case FieldType::Bcd:
            return QStringLiteral("NUMERIC(32, ") + QString::number(field.decimals) +
                   QLatin1Char(')');
        case FieldType::Date:
            return QStringLiteral("DATE");
        case FieldType::Time:
            return QStringLiteral("TIME");
        case FieldType::Timestamp:
            return QStringLiteral("TIMESTAMP");
        case FieldType::Logical:
            return QStringLiteral("BOOLEAN");
        case FieldType::Bytes:
        case FieldType::Blob:
        case FieldType::FormattedMemo:
        case FieldType::Ole:
        case FieldType::Graphic:
            return QStringLiteral("BLOB");
    }
    return {};
}

const px::Field* TargetProduct::autoIncrementField(const std::vector<px::Field>& fields) {
    const auto found = std::find_if(fields.begin(), fields.end(), [](const px::Field& field) {
        return field.type == px::FieldType::AutoIncrement;
    });
    return found == fields.end() ? nullptr : &*found;
}

QString TargetProduct::literal(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace('\'', QStringLiteral("''")) +
           QLatin1Char('\'');
}

QString TargetProduct::quoted(const px::Field& field) {
    return Datatype::QuotedName(QString::fromStdString(field.name));
}

QStringList TargetProduct::takeRunLock(const QString&) const {
    return {};
}

std::optional<bool> TargetProduct::claimRunLock(ado::Connection&, const QString&, int) const {
    return std::nullopt;
}

QString TargetProduct::runLockName(const QString& run) {
    // Short enough for every product's lock names, and the same for the same run.
    return QStringLiteral("morvane_") +
           QString::fromLatin1(
               QCryptographicHash::hash(run.toUtf8(), QCryptographicHash::Sha1).toHex().left(32));
}
