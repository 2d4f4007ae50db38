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
    SQLHSTMT statement = SQL_NULL_HSTMT;
    check(SQLAllocHandle(SQL_HANDLE_STMT, connection_, &statement), SQL_HANDLE_DBC, connection_,
          "prepare a statement");
    const SQLRETURN code = SQLTablesW(statement, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
    if (!succeeded(code)) {
        try {
            fail(SQL_HANDLE_STMT, statement, "list the tables");
        } catch (...) {
            SQLFreeHandle(SQL_HANDLE_STMT, statement);
            throw;
        }
    }
    return std::make_unique<OdbcCursor>(statement);
}

namespace {

// A prepared statement whose text parameters are bound column by column, a batch of rows at a
// time: one round trip per batch where the driver takes parameter arrays, one per row where not.
class OdbcBulkStatement : public BulkStatement {
  public:
    OdbcBulkStatement(SQLHDBC connection, const QString& sql, int parameters)
        : parameters_(static_cast<size_t>(parameters)), cells_(parameters_) {
        check(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement_), SQL_HANDLE_DBC, connection,
              "prepare a statement");
        check(SQLPrepareW(statement_, wide(sql), static_cast<SQLINTEGER>(sql.size())),
              SQL_HANDLE_STMT, statement_, "prepare a statement");
        // A driver without parameter arrays refuses the size or keeps its own.
        SQLULEN granted = 0;
        if (succeeded(SQLSetStmtAttr(statement_, SQL_ATTR_PARAMSET_SIZE,
                                     reinterpret_cast<SQLPOINTER>(kBatchRows), 0)) &&
            succeeded(SQLGetStmtAttr(statement_, SQL_ATTR_PARAMSET_SIZE, &granted, 0, nullptr)) &&
            granted == kBatchRows)
            batchRows_ = kBatchRows;
        SQLSetStmtAttr(statement_, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    }
    ~OdbcBulkStatement() override { SQLFreeHandle(SQL_HANDLE_STMT, statement_); }

    void addRow(const std::vector<Variant>& row) override {
        for (size_t column = 0; column < parameters_; ++column) {
            std::string text;
            if (column < row.size())
                text = row[column].toText();
            std::u16string& cell =
                cells_[column].emplace_back(QString::fromStdString(text).toStdU16String());
            heldUnits_ += cell.size();
        }
        ++heldRows_;
        if (heldRows_ == batchRows_ || heldUnits_ > kBatchUnits)
            flush();
    }

    void flush() override {
        if (heldRows_ == 0)
            return;
        std::vector<std::vector<char16_t>> buffers(parameters_);
        std::vector<std::vector<SQLLEN>> lengths(parameters_);
        for (size_t column = 0; column < parameters_; ++column) {
            size_t widest = 1;
            for (const std::u16string& cell : cells_[column])
                widest = std::max(widest, cell.size());
            const size_t stride = widest + 1;
            buffers[column].assign(stride * heldRows_, u'\0');
            lengths[column].resize(heldRows_);
            for (size_t row = 0; row < heldRows_; ++row) {
                const std::u16string& cell = cells_[column][row];
                std::copy(cell.begin(), cell.end(), buffers[column].begin() + row * stride);
                // An empty value travels as NULL, as in the statements' text.
                lengths[column][row] = cell.empty()
                                           ? SQL_NULL_DATA
                                           : static_cast<SQLLEN>(cell.size() * sizeof(char16_t));
            }
            check(SQLBindParameter(
                      statement_, static_cast<SQLUSMALLINT>(column + 1), SQL_PARAM_INPUT,
                      SQL_C_WCHAR, widest > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR, widest, 0,
                      buffers[column].data(), static_cast<SQLLEN>(stride * sizeof(char16_t)),
                      lengths[column].data()),
                  SQL_HANDLE_STMT, statement_, "bind a parameter");
        }
        check(SQLSetStmtAttr(statement_, SQL_ATTR_PARAMSET_SIZE,
                             reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(heldRows_)), 0),
              SQL_HANDLE_STMT, statement_, "set the number of rows");
        for (auto& column : cells_)
            column.clear();
        heldRows_ = 0;
        heldUnits_ = 0;
        const SQLRETURN code = SQLExecute(statement_);
        if (!succeeded(code) && code != SQL_NO_DATA)
            fail(SQL_HANDLE_STMT, statement_, "run a statement");
        SQLFreeStmt(statement_, SQL_CLOSE);
    }

  private:
    static constexpr SQLULEN kBatchRows = 1000;
    static constexpr size_t kBatchUnits = 4 << 20;  // a batch of long memos stays small

    SQLHSTMT statement_ = SQL_NULL_HSTMT;
    size_t parameters_;
    size_t batchRows_ = 1;
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

std::unique_ptr<BulkStatement> OdbcConnection::prepareBulk(const QString& sql, int parameters) {
    return std::make_unique<OdbcBulkStatement>(connection_, sql, parameters);
}

}  // namespace ado
