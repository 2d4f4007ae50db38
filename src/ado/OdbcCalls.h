#pragma once

// The few rules every call into the ODBC driver manager follows here: how a result counts as a
// success, how a failure becomes a DataSourceError with the driver's own text and SQLSTATE, and
// how a statement handle is made and freed again when its first call fails.

#include <QString>

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <mutex>
#include <string>
#include <vector>

#include "Cursor.h"

namespace ado::odbc {

// A QString's UTF-16 units as the driver manager's wide characters.
SQLWCHAR* wide(const QString& text);

bool succeeded(SQLRETURN code);

// Throws the first diagnostic record of a handle, as ADO reports it.
[[noreturn]] void fail(SQLSMALLINT handleType, SQLHANDLE handle, const char* operation);

void check(SQLRETURN code, SQLSMALLINT handleType, SQLHANDLE handle, const char* operation);

// Throws the failure of a statement; a connection that the driver knows to be dead is told as
// a lost connection (SQLSTATE 08S01) even where the statement's own text does not say so.
[[noreturn]] void failStatement(SQLHDBC connection, SQLHSTMT statement, const char* operation);

// The statement a connection runs now, whichever it is (a statement, a query, a fetch, an
// insert), so that a cancel from another thread reaches it: SQLCancel is the one call made on
// a statement while another thread waits in it. A cancel reaches a statement only while it
// runs, and a statement's run ends only once a cancel under way has returned, so that no cancel
// meets a statement that has ended, or is freed.
class RunningStatement {
  public:
    // While it lives, `statement` is the one that runs.
    class Scope {
      public:
        Scope(RunningStatement& running, SQLHSTMT statement) : running_(running) {
            const std::lock_guard lock(running_.mutex_);
            running_.handle_ = statement;
        }
        ~Scope() {
            const std::lock_guard lock(running_.mutex_);
            running_.handle_ = nullptr;
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        RunningStatement& running_;
    };
    void cancel() {
        const std::lock_guard lock(mutex_);
        if (handle_)
            SQLCancel(handle_);
    }

  private:
    std::mutex mutex_;
    SQLHSTMT handle_ = nullptr;
};

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

// A column of a result as the driver describes it.
struct DescribedColumn {
    QString name;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;  // characters of a text, digits of a number
    // Whether the column holds binary doubles.
    bool floating() const;
    // The column as ADO names its type.
    FieldInfo field() const;
};
std::vector<DescribedColumn> describeColumns(SQLHSTMT statement);

// UTF-16 units appended as UTF-8; a high surrogate at the end waits in `pending` for its other
// half. A unit that pairs with nothing becomes U+FFFD, as Qt makes it.
void appendUtf8(const char16_t* units, size_t count, char16_t& pending, std::string& out);

}  // namespace ado::odbc
