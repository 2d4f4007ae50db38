#include "Odbc.h"

#include <algorithm>

#include "DataSourceError.h"
#include "OdbcCalls.h"
#include "OdbcInsert.h"

namespace ado {

namespace {

using namespace odbc;

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
    if (!succeeded(code) && code != SQL_NO_DATA)
        failStatement(connection_, statement_, "run a statement");
    SQLFreeStmt(statement_, SQL_CLOSE);
}

std::unique_ptr<Cursor> OdbcConnection::tables() {
    return std::make_unique<OdbcCursor>(
        newStatement(connection_, "list the tables", [](SQLHSTMT statement) {
            return SQLTablesW(statement, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
        }));
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
    return prepareOdbcInsert(connection_, prefix, row, std::move(types), batching);
}

}  // namespace ado
