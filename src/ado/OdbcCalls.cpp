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

std::vector<DescribedColumn> describeColumns(SQLHSTMT statement) {
    SQLSMALLINT columns = 0;
    check(SQLNumResultCols(statement, &columns), SQL_HANDLE_STMT, statement,
          "count the columns of a result");
    std::vector<DescribedColumn> described;
    for (SQLUSMALLINT i = 1; i <= columns; ++i) {
        SQLWCHAR name[256] = {};
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        check(
            SQLDescribeColW(statement, i, name, 255, &nameLength, &type, &size, &digits, &nullable),
            SQL_HANDLE_STMT, statement, "describe a column");
        described.push_back({QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                                                std::min<SQLSMALLINT>(nameLength, 255)),
                             type, size});
    }
    return described;
}

bool DescribedColumn::floating() const {
    return sqlType == SQL_DOUBLE || sqlType == SQL_FLOAT || sqlType == SQL_REAL;
}

FieldInfo DescribedColumn::field() const {
    return {name, adoTypeOf(sqlType)};
}

void appendUtf8(const char16_t* units, size_t count, char16_t& pending, std::string& out) {
    const auto put = [&](char32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    };
    out.reserve(out.size() + count);
    for (size_t i = 0; i < count; ++i) {
        const char16_t unit = units[i];
        if (pending != 0) {
            const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
            put(low ? 0x10000 + ((char32_t(pending) - 0xD800) << 10) + (unit - 0xDC00) : 0xFFFD);
            pending = 0;
            if (low)
                continue;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF)
            pending = unit;
        else
            put(unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
}

}  // namespace ado::odbc
