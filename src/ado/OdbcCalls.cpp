#include "OdbcCalls.h"

#include <algorithm>

#include "DataSourceError.h"

namespace ado::odbc {

SQLWCHAR* wide(const QString& text) {
    static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC must use UTF-16 SQLWCHAR");
    return reinterpret_cast<SQLWCHAR*>(const_cast<QChar*>(text.constData()));
}

bool succeeded(SQLRETURN code) {
    return code == SQL_SUCCESS || code == SQL_SUCCESS_WITH_INFO;
}

void fail(SQLSMALLINT handleType, SQLHANDLE handle, const char* operation) {
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

namespace {

// Whether a diagnostic record after the first says the link is gone: a driver may put the
// statement's own failure first and the lost connection behind it.
bool laterRecordTellsALostConnection(SQLHSTMT statement) {
    SQLWCHAR state[6] = {};
    SQLINTEGER nativeError = 0;
    SQLSMALLINT length = 0;
    for (SQLSMALLINT record = 2; succeeded(SQLGetDiagRecW(SQL_HANDLE_STMT, statement, record, state,
                                                          &nativeError, nullptr, 0, &length));
         ++record)
        if (DataSourceError(
                std::string(),
                QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5).toStdString())
                .isConnectionFailure())
            return true;
    return false;
}

// Whether the connection knows its link to the data source is gone.
bool connectionIsDead(SQLHDBC connection) {
    SQLUINTEGER dead = SQL_CD_FALSE;
    return succeeded(SQLGetConnectAttr(connection, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
           dead == SQL_CD_TRUE;
}

}  // namespace

void failStatement(SQLHDBC connection, SQLHSTMT statement, const char* operation) {
    try {
        fail(SQL_HANDLE_STMT, statement, operation);
    } catch (const DataSourceError& failure) {
        // Drivers do not always say first that the link is gone; a later record or the
        // connection itself may know.
        const bool lost =
            !failure.isConnectionFailure() &&
            (laterRecordTellsALostConnection(statement) || connectionIsDead(connection));
        SQLFreeStmt(statement, SQL_CLOSE);
        if (lost)
            throw DataSourceError(failure.what(), "08S01");
        throw;
    }
}

}  // namespace ado::odbc
