#include "Odbc.h"

#include <QStringDecoder>

#include <algorithm>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "DataSourceError.h"

namespace ado {

namespace {

// A QString's UTF-16 units as the driver manager's wide characters.
SQLWCHAR* wide(const QString& text) {
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC must use UTF-16 SQLWCHAR");
    return reinterpret_cast<SQLWCHAR*>(const_cast<QChar*>(text.constData()));
}

bool succeeded(SQLRETURN code) {
    return code == SQL_SUCCESS || code == SQL_SUCCESS_WITH_INFO;
}

// The first diagnostic record of a handle, as ADO reports it.
[[noreturn]] void fail(SQLSMALLINT handleType, SQLHANDLE handle, const char* operation) {
    SQLWCHAR state[6] = {};
    SQLINTEGER nativeError = 0;
    SQLWCHAR text[SQL_MAX_MESSAGE_LENGTH * 2] = {};
    SQLSMALLINT length = 0;
    if (handle && succeeded(SQLGetDiagRecW(handleType, handle, 1, state, &nativeError, text,
                                           SQL_MAX_MESSAGE_LENGTH * 2, &length))) {
        const QString message =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(text),
                               std::min<SQLSMALLINT>(length, SQL_MAX_MESSAGE_LENGTH * 2 - 1));
        const QString sqlState = QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5);
        throw DataSourceError(message.toStdString(), sqlState.toStdString());
    }
    throw DataSourceError(std::string("The ODBC driver manager failed to ") + operation + ".");
}

void check(SQLRETURN code, SQLSMALLINT handleType, SQLHANDLE handle, const char* operation) {
    if (!succeeded(code) && code != SQL_NO_DATA)
        fail(handleType, handle, operation);
}

// A new statement of the connection on which `start` has succeeded; freed again when it failed.
template <typename Start>
SQLHSTMT newStatement(SQLHDBC connection, const char* operation, Start start) {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    check(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement), SQL_HANDLE_DBC, connection,
          "prepare a statement");
    if (!succeeded(start(statement))) {
        try {
            fail(SQL_HANDLE_STMT, statement, operation);
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, statement);
            throw;
        }
    }
    return statement;
}

int adoTypeOf(SQLSMALLINT sqlType) {
    switch (sqlType) {
        case SQL_CHAR:
            return 129;
        case SQL_VARCHAR:
            return 200;
        case SQL_LONGVARCHAR:
            return 201;
        case SQL_WCHAR:
            return 130;
        case SQL_WVARCHAR:
            return 202;
        case SQL_WLONGVARCHAR:
            return 203;
        case SQL_SMALLINT:
            return 2;
        case SQL_INTEGER:
            return 3;
        case SQL_BIGINT:
            return 20;
        case SQL_TINYINT:
            return 16;
        case SQL_REAL:
            return 4;
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return 5;
        case SQL_DECIMAL:
        case SQL_NUMERIC:
            return 131;
        case SQL_BIT:
            return 11;
        case SQL_TYPE_DATE:
            return 133;
        case SQL_TYPE_TIME:
            return 134;
        case SQL_TYPE_TIMESTAMP:
            return 135;
        case SQL_BINARY:
            return 128;
        case SQL_VARBINARY:
            return 204;
        case SQL_LONGVARBINARY:
            return 205;
        default:
            return 200;
    }
}

// Every column read as text: the only result the program reads from a data source is its
// catalogue of tables.
class OdbcCursor : public Cursor {
  public:
    explicit OdbcCursor(SQLHSTMT statement) : statement_(statement) {
        SQLSMALLINT columns = 0;
        check(SQLNumResultCols(statement_, &columns), SQL_HANDLE_STMT, statement_,
              "count the columns of a result");
        for (SQLUSMALLINT i = 1; i <= columns; ++i) {
            SQLWCHAR name[256] = {};
            SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            check(SQLDescribeColW(statement_, i, name, 255, &nameLength, &type, &size, &digits,
                                  &nullable),
                  SQL_HANDLE_STMT, statement_, "describe a column");
            fields_.push_back({QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                                                  std::min<SQLSMALLINT>(nameLength, 255)),
                               adoTypeOf(type)});
        }
    }
    ~OdbcCursor() override { SQLFreeHandle(SQL_HANDLE_STMT, statement_); }

    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long long rowCount() const override { return -1; }

    bool fetch(std::vector<Variant>& row) override {
        const SQLRETURN code = SQLFetch(statement_);
        if (code == SQL_NO_DATA)
            return false;
        check(code, SQL_HANDLE_STMT, statement_, "fetch a row");
        row.resize(fields_.size());
        for (SQLUSMALLINT i = 1; i <= fields_.size(); ++i)
            row[i - 1] = readText(i);
        return true;
    }

  private:
    Variant readText(SQLUSMALLINT column) {
        std::u16string text;
        SQLWCHAR buffer[1024];
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN code =
                SQLGetData(statement_, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
            if (code == SQL_NO_DATA)
                break;
            check(code, SQL_HANDLE_STMT, statement_, "read a value");
            if (indicator == SQL_NULL_DATA)
                return {};
            const size_t units = indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof buffer)
                                     ? sizeof buffer / sizeof(SQLWCHAR) - 1
                                     : static_cast<size_t>(indicator) / sizeof(SQLWCHAR);
            text.append(reinterpret_cast<const char16_t*>(buffer), units);
            if (code == SQL_SUCCESS)
                break;
        }
        return Variant::text(QString::fromStdU16String(text).toStdString());
    }

    SQLHSTMT statement_;
    std::vector<FieldInfo> fields_;
};

}  // namespace

OdbcConnection::OdbcConnection(const QString& connectionString) {
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

void OdbcConnection::execute(std::string_view utf8Sql) {
    // Decoded into one buffer that lives as long as the connection: no allocation per row.
    wideBuffer_.resize(utf8Sql.size());
    QStringDecoder toUtf16(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QChar* const start = reinterpret_cast<QChar*>(wideBuffer_.data());
    const QChar* const end = toUtf16.appendToBuffer(
        start, QByteArrayView(utf8Sql.data(), static_cast<qsizetype>(utf8Sql.size())));
    executeWide(wideBuffer_.data(), static_cast<size_t>(end - start));
}

void OdbcConnection::executeWide(const char16_t* sql, size_t length) {
    if (!statement_) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        check(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement), SQL_HANDLE_DBC, connection_,
              "prepare a statement");
        statement_ = statement;
    }
    const SQLRETURN code =
        SQLExecDirectW(statement_, const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(sql)),
                       static_cast<SQLINTEGER>(length));
    if (!succeeded(code) && code != SQL_NO_DATA) {
        try {
            fail(SQL_HANDLE_STMT, statement_, "run a statement");
        } catch (const DataSourceError& failure) {
            SQLFreeStmt(statement_, SQL_CLOSE);
            // Drivers do not always say that the link is gone; the connection itself knows.
            SQLUINTEGER dead = SQL_CD_FALSE;
            if (!failure.isConnectionFailure() &&
                succeeded(
                    SQLGetConnectAttr(connection_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
                dead == SQL_CD_TRUE)
                throw DataSourceError(failure.what(), "08S01");
            throw;
        }
    }
    SQLFreeStmt(statement_, SQL_CLOSE);
}

std::unique_ptr<Cursor> OdbcConnection::tables() {
    return std::make_unique<OdbcCursor>(
        newStatement(connection_, "list the tables", [](SQLHSTMT statement) {
            return SQLTablesW(statement, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
        }));
}

namespace {

// An insert of many rows, prepared once. Its text is the prefix and the row template repeated
// for a group of rows, so that the server reads one statement per group; the groups go in
// parameter arrays where the driver takes them. A last group that is not full goes through the
// same insert of a single row.
class OdbcBulkStatement : public BulkStatement {
  public:
    OdbcBulkStatement(SQLHDBC connection, const QString& prefix, const QString& row, int parameters)
        : connection_(connection),
          parameters_(static_cast<size_t>(parameters)),
          cells_(parameters_) {
        // At most 999 parameters to a statement, the lowest limit among common drivers.
        const size_t groupRows =
            std::clamp<size_t>(999 / std::max<size_t>(parameters_, 1), 1, kGroupRows);
        QString group = prefix;
        for (size_t i = 0; i < groupRows; ++i)
            group += (i ? QStringLiteral(", ") : QString()) + row;
        try {
            grouped_ = prepare(group);
            groupRows_ = groupRows;
        } catch (const DataSourceError&) {
            // A target without inserts of several rows takes them one by one.
        }
        single_ = prepare(prefix + row);
        arraySize_ = std::max<SQLULEN>(parameterArraySize(grouped_ ? grouped_ : single_), 1);
    }
    ~OdbcBulkStatement() override {
        for (SQLHSTMT statement : {grouped_, single_})
            if (statement)
                SQLFreeHandle(SQL_HANDLE_STMT, statement);
    }

    void addRow(const std::vector<Variant>& row) override {
        for (size_t column = 0; column < parameters_; ++column) {
            const std::string text = column < row.size() ? row[column].toText() : std::string();
            heldUnits_ +=
                cells_[column].emplace_back(QString::fromStdString(text).toStdU16String()).size();
        }
        ++heldRows_;
        if (heldRows_ == groupRows_ * arraySize_ || heldUnits_ > kBatchUnits)
            flush();
    }

    void flush() override {
        const size_t groups = groupRows_ > 1 ? heldRows_ / groupRows_ : 0;
        if (groups > 0)
            run(grouped_, groupRows_, groups, 0);
        for (size_t first = groups * groupRows_; first < heldRows_;) {
            const size_t sets = std::min<size_t>(heldRows_ - first, arraySize_);
            run(single_, 1, sets, first);
            first += sets;
        }
        for (auto& column : cells_)
            column.clear();
        heldRows_ = 0;
        heldUnits_ = 0;
    }

  private:
    static constexpr size_t kGroupRows = 100;
    static constexpr SQLULEN kArraySize = 50;
    static constexpr size_t kBatchUnits = 4 << 20;  // a batch of long memos stays small

    SQLHSTMT prepare(const QString& sql) {
        return newStatement(connection_, "prepare a statement", [&](SQLHSTMT statement) {
            return SQLPrepareW(statement, wide(sql), static_cast<SQLINTEGER>(sql.size()));
        });
    }

    // How many parameter sets the driver takes at once: a driver without parameter arrays
    // refuses the size or keeps its own.
    static SQLULEN parameterArraySize(SQLHSTMT statement) {
        SQLULEN granted = 0;
        const bool taken =
            succeeded(SQLSetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE,
                                     reinterpret_cast<SQLPOINTER>(kArraySize), 0)) &&
            succeeded(SQLGetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE, &granted, 0, nullptr));
        return taken && granted == kArraySize ? kArraySize : 1;
    }

    // Runs `statement` for `sets` parameter sets of `rowsPerSet` rows each, from held row
    // `first` on: parameter (g, c) of set s is column c of row first + s * rowsPerSet + g.
    void run(SQLHSTMT statement, size_t rowsPerSet, size_t sets, size_t first) {
        const size_t parameters = rowsPerSet * parameters_;
        std::vector<std::vector<char16_t>> buffers(parameters);
        std::vector<std::vector<SQLLEN>> lengths(parameters);
        for (size_t parameter = 0; parameter < parameters; ++parameter) {
            const size_t column = parameter % parameters_;
            const size_t rowInSet = parameter / parameters_;
            const auto cell = [&](size_t set) -> const std::u16string& {
                return cells_[column][first + set * rowsPerSet + rowInSet];
            };
            size_t widest = 1;
            for (size_t set = 0; set < sets; ++set)
                widest = std::max(widest, cell(set).size());
            const size_t stride = widest + 1;
            buffers[parameter].assign(stride * sets, u'\0');
            lengths[parameter].resize(sets);
            for (size_t set = 0; set < sets; ++set) {
                const std::u16string& text = cell(set);
                std::copy(text.begin(), text.end(), buffers[parameter].begin() + set * stride);
                // An empty value travels as NULL, as in the statements' text.
                lengths[parameter][set] = text.empty()
                                              ? SQL_NULL_DATA
                                              : static_cast<SQLLEN>(text.size() * sizeof(char16_t));
            }
            check(SQLBindParameter(
                      statement, static_cast<SQLUSMALLINT>(parameter + 1), SQL_PARAM_INPUT,
                      SQL_C_WCHAR, widest > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR, widest, 0,
                      buffers[parameter].data(), static_cast<SQLLEN>(stride * sizeof(char16_t)),
                      lengths[parameter].data()),
                  SQL_HANDLE_STMT, statement, "bind a parameter");
        }
        if (arraySize_ > 1)
            check(SQLSetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE,
                                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(sets)), 0),
                  SQL_HANDLE_STMT, statement, "set the number of rows");
        const SQLRETURN code = SQLExecute(statement);
        if (!succeeded(code) && code != SQL_NO_DATA)
            fail(SQL_HANDLE_STMT, statement, "run a statement");
        SQLFreeStmt(statement, SQL_CLOSE);
    }

    SQLHDBC connection_;
    size_t parameters_;
    SQLHSTMT grouped_ = SQL_NULL_HSTMT;
    SQLHSTMT single_ = SQL_NULL_HSTMT;
    size_t groupRows_ = 1;
    SQLULEN arraySize_ = 1;
    std::vector<std::vector<std::u16string>> cells_;  // by column, the rows held back
    size_t heldRows_ = 0;
    size_t heldUnits_ = 0;
};

}  // namespace

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

std::unique_ptr<BulkStatement> OdbcConnection::prepareBulk(const QString& prefix,
                                                           const QString& row, int parameters) {
    return std::make_unique<OdbcBulkStatement>(connection_, prefix, row, parameters);
}

}  // namespace ado
