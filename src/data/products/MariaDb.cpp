#include "MariaDb.h"

#include <algorithm>
#include <string>

#include "PipeLoad.h"
#include "ado/Connection.h"
#include "ado/LoadText.h"

#include "data/Datatype.h"

using px::FieldType;

QString MariaDb::screenColumnType(const QString& word) const {
    // 35 digits before the point and 30 after hold what SQL Anywhere's 24 and 6 do, and the
    // decimals a double's shortest form needs.
    if (word == QLatin1String("NUMERIC"))
        return QStringLiteral("DECIMAL(65, 30)");
    return QStringLiteral("LONGTEXT");
}

// TIME and DATETIME keep milliseconds only when told; its TIMESTAMP ends in 2038.
QString MariaDb::typedColumnType(const px::Field& field, bool) const {
    switch (field.type) {
        case FieldType::Memo:
            return QStringLiteral("LONGTEXT");
        case FieldType::Bcd:
            return QStringLiteral("DECIMAL(32, ") + QString::number(field.decimals) +
                   QLatin1Char(')');
        case FieldType::Time:
            return QStringLiteral("TIME(3)");
        case FieldType::Timestamp:
            return QStringLiteral("DATETIME(3)");
        case FieldType::Bytes:
            return QStringLiteral("VARBINARY(") + QString::number(field.size) + QLatin1Char(')');
        case FieldType::Blob:
        case FieldType::FormattedMemo:
        case FieldType::Ole:
        case FieldType::Graphic:
            return QStringLiteral("LONGBLOB");
        default:
            return commonType(field);
    }
}

QStringList MariaDb::counterStatements(const QString& table, const std::vector<px::Field>& fields,
                                       int keyFields, long long above, bool blankCounter) const {
    const px::Field* autoInc = autoIncrementField(fields);
    // An AUTO_INCREMENT column takes no NULL: blanks keep a plain column, without a counter.
    if (!autoInc || blankCounter)
        return {};
    // The counter needs an index that the column leads: the key's, or one of its own.
    const bool leadsKey = keyFields > 0 && autoInc == &fields.front();
    return {QStringLiteral("ALTER TABLE ") + Datatype::QuotedName(table) +
            (leadsKey ? QString()
                      : QStringLiteral(" ADD INDEX (") + quoted(*autoInc) + QStringLiteral("),")) +
            QStringLiteral(" MODIFY ") + quoted(*autoInc) +
            QStringLiteral(" INTEGER NOT NULL AUTO_INCREMENT, AUTO_INCREMENT = ") +
            QString::number(above + 1)};
}

QString MariaDb::leftOut() const {
    return QStringLiteral(
        "an index that ignores case is made as a plain one: MariaDB compares "
        "text by its columns' collation");
}

QString MariaDb::dropForeignKey(const QString& table, const QString& name) const {
    return QStringLiteral("ALTER TABLE ") + Datatype::QuotedName(table) +
           QStringLiteral(" DROP FOREIGN KEY ") + Datatype::QuotedName(name);
}

std::vector<DefinitionStep> MariaDb::columnSteps(const TableDefinition& definition,
                                                 const ColumnRules& rules) const {
    // NOT NULL and a comment come only with the column's whole definition (MODIFY), which
    // replaces all of it: the counter is stated again. A default can be set alone, after.
    std::vector<DefinitionStep> steps;
    const QString name = QString::fromStdString(rules.field.name);
    const bool counter = rules.field.type == FieldType::AutoIncrement && !definition.blankCounter;
    if (rules.required || !rules.picture.isEmpty())
        steps.push_back(
            {name + (rules.required ? QStringLiteral(" cannot be required")
                                    : QStringLiteral(" keeps no picture")),
             {QStringLiteral("ALTER TABLE ") + Datatype::QuotedName(definition.table) +
              QStringLiteral(" MODIFY ") + quoted(rules.field) + QLatin1Char(' ') +
              typedColumnType(rules.field, false) +
              (rules.required || counter ? QStringLiteral(" NOT NULL") : QString()) +
              (counter ? QStringLiteral(" AUTO_INCREMENT") : QString()) +
              (rules.picture.isEmpty() ? QString()
                                       : QStringLiteral(" COMMENT ") + pictureComment(rules))}});
    if (!rules.defaultValue.isEmpty())
        steps.push_back(defaultStep(definition.table, rules));
    return steps;
}

QStringList MariaDb::takeRunLock(const QString& run) const {
    return {QStringLiteral("SELECT GET_LOCK('") + runLockName(run) + QStringLiteral("', 0)")};
}

std::optional<bool> MariaDb::claimRunLock(ado::Connection& connection, const QString& run,
                                          int seconds) const {
    const auto taken = connection.Query(QStringLiteral("SELECT GET_LOCK('") + runLockName(run) +
                                            QStringLiteral("', %1)").arg(seconds),
                                        {ado::ValueType::Integer});
    return taken->Fields(0).Value().asInteger() == 1;
}

std::optional<TargetProduct::LockWait> MariaDb::lockWait(int seconds) const {
    // The wait for a table's metadata lock, which CREATE, DROP, ALTER and RENAME take.
    return LockWait{QStringLiteral("SET SESSION lock_wait_timeout = %1").arg(seconds),
                    QStringLiteral("lock_wait_timeout")};
}

QStringList MariaDb::useSchemaStatements(const QString& schema) const {
    return {QStringLiteral("USE ") + Datatype::QuotedName(schema)};
}

QString MariaDb::schemaCountQuery(const QString& schema) const {
    return QStringLiteral("SELECT count(*) FROM information_schema.schemata WHERE schema_name = ") +
           textLiteral(schema);
}

bool MariaDb::createSchema(ado::Connection& connection, const QString& schema) const {
    // With the character set and collation of the data source's own database, which the
    // check's comparison of text was made for.
    const auto own = connection.Query(
        QStringLiteral("SELECT default_character_set_name, default_collation_name FROM "
                       "information_schema.schemata WHERE schema_name = DATABASE()"));
    QString defaults;
    if (!own->Eof())
        defaults = QStringLiteral(" CHARACTER SET ") +
                   QString::fromStdString(own->Fields(0).Value().toText()) +
                   QStringLiteral(" COLLATE ") +
                   QString::fromStdString(own->Fields(1).Value().toText());
    connection.Execute(QStringLiteral("CREATE DATABASE ") + Datatype::QuotedName(schema) +
                       defaults);
    return true;
}

bool MariaDb::textComesAsUtf8(ado::Connection& connection) const {
    if (!utf8Results_) {
        const auto results = connection.Query(QStringLiteral("SELECT @@character_set_results"));
        const std::string set =
            results->Eof() ? std::string() : results->Fields(0).Value().toText();
        utf8Results_ = set == "utf8mb4" || set == "utf8mb3" || set == "utf8";
    }
    return *utf8Results_;
}

void appendLoadDataLine(std::string& out, const std::vector<px::Value>& row,
                        const std::vector<ado::ParameterType>& types) {
    for (size_t i = 0; i < types.size(); ++i) {
        if (i)
            out += '\t';
        const px::Value& value = row[i];
        if (value.isNull()) {
            out += "\\N";
            continue;
        }
        switch (types[i].type) {
            case ado::ValueType::Integer:
                out += std::to_string(value.asInteger());
                continue;
            case ado::ValueType::Boolean:
                out += value.asBoolean() ? '1' : '0';
                continue;
            default:
                break;
        }
        // Dates, times and numbers in their own text; an empty text travels as NULL.
        const std::string text = value.toText();
        if (text.empty())
            out += "\\N";
        ado::appendTabSeparatedText(out, text);
    }
    out += '\n';
}

std::unique_ptr<ado::BulkSession> MariaDb::openBulkSession(ado::Connection& connection,
                                                           QString& refused) const {
    try {
        const auto allowed = connection.Query(QStringLiteral("SELECT @@GLOBAL.local_infile"),
                                              {ado::ValueType::Integer});
        if (!allowed->Eof() && allowed->Fields(0).Value().asInteger() == 1)
            // On the connection itself, inside the table's transaction. Bytes stay with the
            // inserts: the load reads its file as text.
            return std::make_unique<PipeLoad>(
                connection, QStringLiteral("LOAD DATA LOCAL INFILE"), false,
                [this](const QString& quotedTable, const std::vector<ado::ParameterType>& types) {
                    return ado::LocalFileLoadSpec{
                        [this, quotedTable](const QString& path) {
                            return QStringLiteral("LOAD DATA LOCAL INFILE ") + textLiteral(path) +
                                   QStringLiteral(" INTO TABLE ") + quotedTable +
                                   QStringLiteral(
                                       " CHARACTER SET utf8mb4 FIELDS TERMINATED BY "
                                       "'\\t' ESCAPED BY '\\\\' LINES TERMINATED "
                                       "BY '\\n'");
                        },
                        [types](std::string& out, const std::vector<px::Value>& row) {
                            appendLoadDataLine(out, row, types);
                        },
                        QStringLiteral("SHOW WARNINGS LIMIT 1")};
                });
        refused = QStringLiteral(
            "MariaDB's LOAD DATA LOCAL INFILE cannot be used (the server's local_infile is off)");
    } catch (const std::exception& failure) {
        refused = QStringLiteral("MariaDB's LOAD DATA LOCAL INFILE cannot be used (%1)")
                      .arg(QString::fromUtf8(failure.what()));
    }
    return nullptr;
}
