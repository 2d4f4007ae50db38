#include "SqlAnywhere.h"

#include "PipeLoad.h"
#include "ado/Connection.h"

#include <algorithm>

#include "data/Datatype.h"

using px::FieldType;

// VARCHAR counts bytes unless told CHAR; BIT is NOT NULL unless told NULL, and a blank Logical
// field is NULL; an AUTOINCREMENT column takes NULL only when told so.
QString SqlAnywhere::typedColumnType(const px::Field& field, bool blankCounter) const {
    switch (field.type) {
        case FieldType::Alpha:
            return QStringLiteral("VARCHAR(") + QString::number(field.size) +
                   QStringLiteral(" CHAR)");
        case FieldType::Memo:
            return QStringLiteral("LONG VARCHAR");
        case FieldType::AutoIncrement:
            return blankCounter ? QStringLiteral("INTEGER NULL DEFAULT AUTOINCREMENT")
                                : QStringLiteral("INTEGER DEFAULT AUTOINCREMENT");
        case FieldType::Logical:
            return QStringLiteral("BIT NULL");
        case FieldType::Bytes:
            return QStringLiteral("VARBINARY(") + QString::number(field.size) + QLatin1Char(')');
        case FieldType::Blob:
        case FieldType::FormattedMemo:
        case FieldType::Ole:
        case FieldType::Graphic:
            return QStringLiteral("LONG BINARY");
        default:
            return commonType(field);
    }
}

QStringList SqlAnywhere::counterStatements(const QString& table,
                                           const std::vector<px::Field>& fields, int,
                                           long long above, bool) const {
    if (!autoIncrementField(fields))
        return {};
    // The next value it hands out is the one given plus one.
    return {QStringLiteral("CALL sa_reset_identity(") + textLiteral(table) + QStringLiteral(", ") +
            textLiteral(info_.userName) + QStringLiteral(", ") + QString::number(above) +
            QLatin1Char(')')};
}

// Its grammar for a table is ALTER TABLE ... RENAME new-name; RENAME ... TO is for columns.
QString SqlAnywhere::renameStatement(const QString& from, const QString& to) const {
    return QStringLiteral("ALTER TABLE ") + Datatype::QuotedName(from) +
           QStringLiteral(" RENAME ") + Datatype::QuotedName(to);
}

QString SqlAnywhere::leftOut() const {
    return QStringLiteral(
        "an index that ignores case is made as a plain one: SQL Anywhere "
        "compares text by its database's collation");
}

QString SqlAnywhere::alterColumn(const QString& table, const px::Field& field,
                                 const QString& change) const {
    // Its ALTER TABLE alters a column without the words COLUMN and SET.
    return QStringLiteral("ALTER TABLE ") + Datatype::QuotedName(table) +
           QStringLiteral(" ALTER ") + quoted(field) + QLatin1Char(' ') + change;
}

QString SqlAnywhere::keyAction(KeyAction action) const {
    return TargetProduct::keyAction(action == KeyAction::NoAction ? KeyAction::Restrict : action);
}

QString SqlAnywhere::keyDeferral(KeyDeferral deferral) const {
    return deferral == KeyDeferral::InitiallyDeferred ? QStringLiteral(" CHECK ON COMMIT")
                                                      : QString();
}

QStringList SqlAnywhere::takeRunLock(const QString& run) const {
    const QString mutex = Datatype::QuotedName(runLockName(run));
    return {QStringLiteral("CREATE TEMPORARY MUTEX ") + mutex + QStringLiteral(" SCOPE CONNECTION"),
            QStringLiteral("LOCK MUTEX ") + mutex + QStringLiteral(" IN EXCLUSIVE MODE")};
}

std::optional<bool> SqlAnywhere::claimRunLock(ado::Connection& connection, const QString& run,
                                              int seconds) const {
    // A live run holds its mutex: the lock waits out its timeout. A run that is gone took its
    // temporary mutex with it.
    try {
        connection.Execute(
            QStringLiteral("LOCK MUTEX ") + Datatype::QuotedName(runLockName(run)) +
            QStringLiteral(" IN EXCLUSIVE MODE TIMEOUT %1").arg(std::max(1, seconds * 1000)));
    } catch (const std::exception& failure) {
        const QString why = QString::fromUtf8(failure.what());
        if (why.contains(QStringLiteral("not found"), Qt::CaseInsensitive))
            return true;
        if (why.contains(QStringLiteral("time"), Qt::CaseInsensitive))
            return false;
        return std::nullopt;
    }
    return true;
}

std::optional<TargetProduct::LockWait> SqlAnywhere::lockWait(int seconds) const {
    return LockWait{
        QStringLiteral("SET TEMPORARY OPTION blocking_timeout = '%1'").arg(seconds * 1000),
        QStringLiteral("blocking_timeout")};
}

QStringList SqlAnywhere::useSchemaStatements(const QString& schema) const {
    // The tables it makes are then owned by that user; it takes the SET USER privilege.
    return {QStringLiteral("SETUSER ") + Datatype::QuotedName(schema)};
}

QString SqlAnywhere::schemaCountQuery(const QString& schema) const {
    return QStringLiteral("SELECT count(*) FROM SYS.SYSUSER WHERE user_name = ") + literal(schema);
}

QString SqlAnywhere::loadTableStatement(const QString& quotedTable, const QString& path) const {
    // The rows commit whole or not at all, every value as sent: no trimming, no defaults for
    // what the line holds, the table's checks applied. The file is read once, from its start:
    // no byte order mark is looked for. The pipe is gone once the load ends, so the transaction
    // log keeps the rows themselves rather than the file's name.
    return QStringLiteral("LOAD TABLE ") + quotedTable + QStringLiteral(" USING CLIENT FILE ") +
           textLiteral(path) +
           QStringLiteral(
               " FORMAT TEXT ENCODING 'UTF-8' BYTE ORDER MARK OFF DELIMITED BY ',' ROW DELIMITED "
               "BY '\\x0A' QUOTES ON ESCAPES ON HEXADECIMAL ON STRIP OFF DEFAULTS OFF CHECK "
               "CONSTRAINTS ON COMPUTES ON ORDER OFF WITH CONTENT LOGGING");
}

void appendLoadTableLine(std::string& out, const std::vector<px::Value>& row,
                         const std::vector<ado::ParameterType>& types) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (size_t i = 0; i < types.size(); ++i) {
        if (i)
            out += ',';
        const px::Value& value = row[i];
        if (value.isNull())
            continue;
        switch (types[i].type) {
            case ado::ValueType::Boolean:
                out += value.asBoolean() ? '1' : '0';
                continue;
            case ado::ValueType::Binary:
                out += "0x";
                for (const unsigned char byte : value.raw()) {
                    out += kHex[byte >> 4];
                    out += kHex[byte & 15];
                }
                continue;
            case ado::ValueType::Text:
                break;
            default:
                // Numbers, dates and times in their own text, which holds nothing to escape.
                value.appendText(out);
                continue;
        }
        // An empty text travels as NULL, as the inserts send it.
        const std::string text = value.toText();
        if (text.empty())
            continue;
        out += '\'';
        for (const char c : text) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7F || c == '\'' || c == '"' || c == ',' || c == '\\') {
                out += "\\x";
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            } else {
                out += c;
            }
        }
        out += '\'';
    }
    out += '\n';
}

std::unique_ptr<ado::BulkSession> SqlAnywhere::openBulkSession(ado::Connection& connection,
                                                               QString& refused) const {
    // The option is off unless the database's administrator turned it on; the READ CLIENT FILE
    // privilege and the server's read_client_file feature show only when the load is refused.
    try {
        const auto allowed =
            connection.Query(QStringLiteral("SELECT CONNECTION_PROPERTY('allow_read_client_file')"),
                             {ado::ValueType::Text});
        if (!allowed->Eof() && QString::fromStdString(allowed->Fields(0).Value().toText())
                                       .compare(QStringLiteral("On"), Qt::CaseInsensitive) == 0)
            // On the connection itself, from a pipe the client library reads for the server. It
            // commits on its own, before and after: the work table is already committed.
            return std::make_unique<PipeLoad>(
                connection, QStringLiteral("LOAD TABLE"), true,
                [this](const QString& quotedTable, const std::vector<ado::ParameterType>& types) {
                    return ado::LocalFileLoadSpec{
                        [this, quotedTable](const QString& path) {
                            return loadTableStatement(quotedTable, path);
                        },
                        [types](std::string& out, const std::vector<px::Value>& row) {
                            appendLoadTableLine(out, row, types);
                        },
                        {}};
                });
        refused = QStringLiteral(
            "SQL Anywhere's LOAD TABLE cannot be used (the database option "
            "allow_read_client_file is Off)");
    } catch (const std::exception& failure) {
        refused = QStringLiteral("SQL Anywhere's LOAD TABLE cannot be used (%1)")
                      .arg(QString::fromUtf8(failure.what()).trimmed());
    }
    return nullptr;
}
