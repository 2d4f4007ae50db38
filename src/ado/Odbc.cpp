#include "Odbc.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "DataSourceError.h"
#include "LocalFileLoad.h"
#include "OdbcBlockCursor.h"
#include "OdbcCalls.h"
#include "OdbcInsert.h"

namespace ado {

namespace {

using namespace odbc;

// "HH:MM:SS" with any fraction of a second, as drivers give a time as text: milliseconds of the
// day, or -1 when the text is no time.
int millisecondsOfTime(const std::string& text) {
    int hours = 0, minutes = 0, seconds = 0, consumed = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d%n", &hours, &minutes, &seconds, &consumed) != 3)
        return -1;
    int milliseconds = 0;
    if (text.size() > static_cast<size_t>(consumed) && text[static_cast<size_t>(consumed)] == '.') {
        const std::string fraction = (text.substr(static_cast<size_t>(consumed) + 1) + "000");
        milliseconds = std::stoi(fraction.substr(0, 3));
    }
    return ((hours * 60 + minutes) * 60 + seconds) * 1000 + milliseconds;
}

// The rows of a result, each column read as the value type asked for it (text when none is).
class OdbcCursor : public Cursor {
  public:
    OdbcCursor(SQLHSTMT statement, std::vector<ValueType> readAs,
               std::shared_ptr<RunningStatement> running = {})
        : statement_(statement), readAs_(std::move(readAs)), running_(std::move(running)) {
        for (const DescribedColumn& column : describeColumns(statement_)) {
            fields_.push_back(column.field());
            floating_.push_back(column.floating());
        }
        readAs_.resize(fields_.size(), ValueType::Text);
    }
    ~OdbcCursor() override { SQLFreeHandle(SQL_HANDLE_STMT, statement_); }

    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long long rowCount() const override { return -1; }

    bool fetch(std::vector<Variant>& row) override {
        SQLRETURN code = SQL_SUCCESS;
        if (running_) {
            const RunningStatement::Scope running(*running_, statement_);
            code = SQLFetch(statement_);
        } else {
            code = SQLFetch(statement_);
        }
        if (code == SQL_NO_DATA)
            return false;
        check(code, SQL_HANDLE_STMT, statement_, "fetch a row");
        row.resize(fields_.size());
        for (SQLUSMALLINT i = 1; i <= fields_.size(); ++i)
            read(i, readAs_[i - 1], row[i - 1]);
        return true;
    }

  private:
    // A value of a fixed size; false for NULL.
    template <typename CValue>
    bool readFixed(SQLUSMALLINT column, SQLSMALLINT cType, CValue& out) {
        SQLLEN indicator = 0;
        check(SQLGetData(statement_, column, cType, &out, sizeof out, &indicator), SQL_HANDLE_STMT,
              statement_, "read a value");
        return indicator != SQL_NULL_DATA;
    }

    // Text (as UTF-8) or bytes of any length, read in pieces into `out`; false for NULL.
    bool readLong(SQLUSMALLINT column, SQLSMALLINT cType, std::string& out) {
        const size_t terminator = cType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : 0;
        char16_t pending = 0;  // a high surrogate whose low half comes with the next piece
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN code =
                SQLGetData(statement_, column, cType, buffer_, sizeof buffer_, &indicator);
            if (code == SQL_NO_DATA)
                break;
            check(code, SQL_HANDLE_STMT, statement_, "read a value");
            if (indicator == SQL_NULL_DATA)
                return false;
            const size_t got = indicator == SQL_NO_TOTAL ||
                                       indicator > static_cast<SQLLEN>(sizeof buffer_ - terminator)
                                   ? sizeof buffer_ - terminator
                                   : static_cast<size_t>(indicator);
            if (cType == SQL_C_WCHAR)
                appendUtf8(reinterpret_cast<const char16_t*>(buffer_), got / sizeof(char16_t),
                           pending, out);
            else
                out.append(buffer_, got);
            if (code == SQL_SUCCESS)
                break;
        }
        return true;
    }

    void read(SQLUSMALLINT column, ValueType type, Variant& out) {
        switch (type) {
            case ValueType::Integer: {
                SQLBIGINT value = 0;
                out = readFixed(column, SQL_C_SBIGINT, value) ? Variant::integer(value) : Variant();
                return;
            }
            case ValueType::Double: {
                double value = 0;
                out = readFixed(column, SQL_C_DOUBLE, value) ? Variant::real(value) : Variant();
                return;
            }
            case ValueType::Boolean: {
                unsigned char value = 0;
                out =
                    readFixed(column, SQL_C_BIT, value) ? Variant::boolean(value != 0) : Variant();
                return;
            }
            case ValueType::Date: {
                SQL_DATE_STRUCT value{};
                out =
                    readFixed(column, SQL_C_TYPE_DATE, value)
                        ? Variant::date(px::dayNumberFromCivil(value.year, value.month, value.day))
                        : Variant();
                return;
            }
            case ValueType::Timestamp: {
                SQL_TIMESTAMP_STRUCT value{};
                out = readFixed(column, SQL_C_TYPE_TIMESTAMP, value)
                          ? Variant::timestamp(
                                px::dayNumberFromCivil(value.year, value.month, value.day),
                                ((value.hour * 60 + value.minute) * 60 + value.second) * 1000 +
                                    static_cast<int32_t>(value.fraction / 1000000))
                          : Variant();
                return;
            }
            case ValueType::Time: {
                std::string& text = out.resetToText();
                if (!readLong(column, SQL_C_WCHAR, text)) {
                    out = Variant();
                    return;
                }
                if (const int milliseconds = millisecondsOfTime(text); milliseconds >= 0)
                    out = Variant::time(milliseconds);
                return;
            }
            case ValueType::Binary:
                if (!readLong(column, SQL_C_BINARY, out.resetToBytes()))
                    out = Variant();
                return;
            case ValueType::Decimal:
                // A column the data source keeps as binary doubles gives them exactly.
                if (floating_[column - 1])
                    return read(column, ValueType::Double, out);
                break;
            case ValueType::Text:
                break;
        }
        if (!readLong(column, SQL_C_WCHAR, out.resetToText()))
            out = Variant();
    }

    SQLHSTMT statement_;
    std::vector<ValueType> readAs_;
    std::shared_ptr<RunningStatement> running_;  // the connection's, for a query's rows
    std::vector<FieldInfo> fields_;
    std::vector<bool> floating_;
    char buffer_[8192];
};

}  // namespace

OdbcConnection::OdbcConnection(const QString& connectionString)
    : running_(std::make_shared<RunningStatement>()) {
    SQLHENV environment = SQL_NULL_HENV;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        throw DataSourceError("The ODBC driver manager cannot be started.");
    environment_ = environment;
    SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  0);
    SQLHDBC connection = SQL_NULL_HDBC;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_DBC, environment, &connection))) {
        SQLFreeHandle(SQL_HANDLE_ENV, environment);
        throw DataSourceError("The ODBC driver manager cannot make a connection.");
    }
    connection_ = connection;
    SQLWCHAR completed[1024];
    SQLSMALLINT completedLength = 0;
    const SQLRETURN code =
        SQLDriverConnectW(connection, nullptr, wide(connectionString),
                          static_cast<SQLSMALLINT>(connectionString.size()), completed, 1024,
                          &completedLength, SQL_DRIVER_NOPROMPT);
    if (!succeeded(code)) {
        try {
            fail(SQL_HANDLE_DBC, connection, "open the data source");
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_DBC, connection);
            SQLFreeHandle(SQL_HANDLE_ENV, environment);
            throw;
        }
    }
}

OdbcConnection::~OdbcConnection() {
    if (statement_)
        SQLFreeHandle(SQL_HANDLE_STMT, statement_);
    SQLDisconnect(connection_);
    SQLFreeHandle(SQL_HANDLE_DBC, connection_);
    SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

void OdbcConnection::execute(const QString& sql) {
    executeWide(reinterpret_cast<const char16_t*>(sql.constData()),
                static_cast<size_t>(sql.size()));
}

void OdbcConnection::executeWide(const char16_t* sql, size_t length) {
    if (!statement_) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        check(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement), SQL_HANDLE_DBC, connection_,
              "prepare a statement");
        statement_ = statement;
    }
    SQLRETURN code = SQL_SUCCESS;
    {
        const RunningStatement::Scope running(*running_, statement_);
        code = SQLExecDirectW(statement_,
                              const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(sql)),
                              static_cast<SQLINTEGER>(length));
    }
    if (!succeeded(code) && code != SQL_NO_DATA)
        failStatement(connection_, statement_, "run a statement");
    SQLFreeStmt(statement_, SQL_CLOSE);
}

std::unique_ptr<Cursor> OdbcConnection::tables() {
    return std::make_unique<OdbcCursor>(newStatement(connection_, "list the tables",
                                                     [](SQLHSTMT statement) {
                                                         return SQLTablesW(statement, nullptr, 0,
                                                                           nullptr, 0, nullptr, 0,
                                                                           nullptr, 0);
                                                     }),
                                        std::vector<ValueType>{});
}

std::unique_ptr<Cursor> OdbcConnection::typeInfo() {
    return std::make_unique<OdbcCursor>(
        newStatement(connection_, "list the data types",
                     [](SQLHSTMT statement) { return SQLGetTypeInfoW(statement, SQL_ALL_TYPES); }),
        std::vector<ValueType>{});
}

std::unique_ptr<Cursor> OdbcConnection::primaryKeys(const QString& table) {
    return std::make_unique<OdbcCursor>(
        newStatement(connection_, "list a table's key",
                     [&](SQLHSTMT statement) {
                         return SQLPrimaryKeysW(statement, nullptr, 0, nullptr, 0, wide(table),
                                                static_cast<SQLSMALLINT>(table.size()));
                     }),
        std::vector<ValueType>{});
}

std::unique_ptr<Cursor> OdbcConnection::foreignKeysTo(const QString& table) {
    return std::make_unique<OdbcCursor>(
        newStatement(connection_, "list the foreign keys to a table",
                     [&](SQLHSTMT statement) {
                         return SQLForeignKeysW(statement, nullptr, 0, nullptr, 0, wide(table),
                                                static_cast<SQLSMALLINT>(table.size()), nullptr, 0,
                                                nullptr, 0, nullptr, 0);
                     }),
        std::vector<ValueType>{});
}

std::unique_ptr<Cursor> OdbcConnection::query(const QString& sql, std::vector<ValueType> readAs,
                                              Reading reading) {
    SQLHSTMT statement = newStatement(connection_, "run a query", [&](SQLHSTMT made) {
        const RunningStatement::Scope running(*running_, made);
        const SQLRETURN code = SQLExecDirectW(made, wide(sql), static_cast<SQLINTEGER>(sql.size()));
        return code == SQL_NO_DATA ? SQLRETURN{SQL_SUCCESS} : code;
    });
    if (reading.inBlocks) {
        std::unique_ptr<Cursor> cursor;
        try {
            cursor = blockCursor(statement, readAs, running_, reading.narrowTextIsUtf8);
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, statement);
            throw;
        }
        if (cursor)
            return cursor;
    }
    return std::make_unique<OdbcCursor>(statement, std::move(readAs), running_);
}

DataSourceInfo OdbcConnection::info() {
    const auto text = [&](SQLUSMALLINT item) {
        SQLWCHAR value[256] = {};
        SQLSMALLINT length = 0;
        if (!succeeded(SQLGetInfoW(connection_, item, value, sizeof value, &length)))
            return QString();
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(value),
                                  std::min<qsizetype>(length / 2, 255));
    };
    const auto number = [&](SQLUSMALLINT item) {
        SQLUSMALLINT value = 0;
        return succeeded(SQLGetInfoW(connection_, item, &value, sizeof value, nullptr))
                   ? static_cast<int>(value)
                   : 0;
    };
    DataSourceInfo info;
    info.dbmsName = text(SQL_DBMS_NAME);
    info.userName = text(SQL_USER_NAME);
    info.maxTableNameLength = number(SQL_MAX_TABLE_NAME_LEN);
    info.maxColumnNameLength = number(SQL_MAX_COLUMN_NAME_LEN);
    SQLWCHAR catalog[256] = {};
    SQLINTEGER catalogLength = 0;
    if (succeeded(SQLGetConnectAttrW(connection_, SQL_ATTR_CURRENT_CATALOG, catalog,
                                     sizeof catalog - sizeof(SQLWCHAR), &catalogLength)))
        info.catalog = QString::fromUtf16(reinterpret_cast<const char16_t*>(catalog),
                                          std::clamp<qsizetype>(catalogLength / 2, 0, 255));
    if (info.catalog.isEmpty())
        info.catalog = text(SQL_DATABASE_NAME);
    // Anything but "all statements in a transaction" leaves a table made or dropped in place.
    info.ddlCommits = number(SQL_TXN_CAPABLE) != SQL_TC_ALL;
    SQLUINTEGER bits = 0;
    if (succeeded(SQLGetInfoW(connection_, SQL_ALTER_TABLE, &bits, sizeof bits, nullptr)))
        info.alterTable = bits;
    bits = 0;
    info.createsIndexes =
        succeeded(SQLGetInfoW(connection_, SQL_DDL_INDEX, &bits, sizeof bits, nullptr)) &&
        (bits & SQL_DI_CREATE_INDEX);
    return info;
}

void OdbcConnection::cancelRunning() {
    running_->cancel();
}

void OdbcConnection::beginTransaction() {
    check(SQLSetConnectAttr(connection_, SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
          SQL_HANDLE_DBC, connection_, "begin a transaction");
}

void OdbcConnection::commit() {
    endTransaction(SQL_COMMIT);
}

void OdbcConnection::rollback() {
    endTransaction(SQL_ROLLBACK);
}

void OdbcConnection::endTransaction(short completion) {
    const SQLRETURN code = SQLEndTran(SQL_HANDLE_DBC, connection_, completion);
    SQLSetConnectAttr(connection_, SQL_ATTR_AUTOCOMMIT,
                      reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    check(code, SQL_HANDLE_DBC, connection_,
          completion == SQL_COMMIT ? "commit a transaction" : "roll back a transaction");
}

std::unique_ptr<InsertStatement> OdbcConnection::prepareInsert(const QString& prefix,
                                                               const QString& row,
                                                               std::vector<ParameterType> types,
                                                               Batching batching) {
    return prepareOdbcInsert(connection_, prefix, row, std::move(types), batching, running_);
}

std::unique_ptr<InsertStatement> OdbcConnection::prepareLocalFileLoad(LocalFileLoadSpec load) {
    return ado::prepareLocalFileLoad(connection_, std::move(load), running_);
}

}  // namespace ado
