#include "OdbcQuery.h"

#include <sql.h>
#include <sqlext.h>

#include <stdexcept>

namespace {

void check(SQLRETURN code, SQLSMALLINT type, SQLHANDLE handle, const char* what) {
    if (code == SQL_SUCCESS || code == SQL_SUCCESS_WITH_INFO || code == SQL_NO_DATA)
        return;
    SQLCHAR state[6] = {}, text[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length);
    throw std::runtime_error(std::string(what) + ": " + reinterpret_cast<char*>(text));
}

}  // namespace

std::vector<QStringList> queryRows(const QString& dsn, const QString& sql) {
    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    SQLHSTMT stmt = nullptr;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::vector<QStringList> rows;
    try {
        const QByteArray connect = ("DSN=" + dsn).toUtf8();
        check(SQLDriverConnect(dbc, nullptr, (SQLCHAR*)connect.constData(), SQL_NTS, nullptr, 0,
                               nullptr, SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, dbc, "connect");
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        const QString text = sql;
        check(SQLExecDirectW(stmt, (SQLWCHAR*)text.utf16(), SQL_NTS), SQL_HANDLE_STMT, stmt,
              "query");
        SQLSMALLINT columns = 0;
        SQLNumResultCols(stmt, &columns);
        while (SQLFetch(stmt) == SQL_SUCCESS) {
            QStringList row;
            for (SQLUSMALLINT c = 1; c <= columns; ++c) {
                std::u16string value;
                SQLWCHAR buffer[4096];
                SQLLEN indicator = 0;
                SQLRETURN code;
                bool isNull = false;
                while ((code = SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer,
                                          &indicator)) != SQL_NO_DATA) {
                    check(code, SQL_HANDLE_STMT, stmt, "read");
                    if (indicator == SQL_NULL_DATA) {
                        isNull = true;
                        break;
                    }
                    const size_t units =
                        indicator == SQL_NO_TOTAL || indicator >= SQLLEN(sizeof buffer)
                            ? sizeof buffer / 2 - 1
                            : size_t(indicator) / 2;
                    value.append(reinterpret_cast<const char16_t*>(buffer), units);
                    if (code == SQL_SUCCESS)
                        break;
                }
                row << (isNull ? QStringLiteral("NULL") : QString::fromStdU16String(value));
            }
            rows.push_back(row);
        }
    } catch (...) {
        if (stmt)
            SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        throw;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return rows;
}

QStringList tablesOf(const QString& dsn) {
    const bool mariaDb = dsn.contains("MariaDb");
    const QString query =
        dsn.contains("Sqlite")
            ? QString("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")
            : QString(
                  "SELECT table_name FROM information_schema.tables WHERE "
                  "table_schema = %1 ORDER BY table_name")
                  .arg(mariaDb ? "database()" : "current_schema()");
    QStringList names;
    for (const QStringList& row : queryRows(dsn, query))
        if (row[0] != "morvane_journal")
            names << row[0];
    return names;
}
