#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Cursor.h"
#include "Insert.h"

namespace ado {

namespace odbc {
class RunningStatement;
}

// One connection through the unixODBC driver manager, with the wide-character functions so
// that names and values keep every character.
class OdbcConnection {
  public:
    // `connectionString` in ODBC's own form, for example "DSN=Sales".
    explicit OdbcConnection(const QString& connectionString);
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    void execute(const QString& sql);
    std::unique_ptr<Cursor> tables();
    // The data types the data source offers, as SQLGetTypeInfo lists them.
    std::unique_ptr<Cursor> typeInfo();
    // The primary key columns of `table` (SQLPrimaryKeys), and the foreign keys that refer to
    // it (SQLForeignKeys), in any catalog and schema the driver reaches with the bare name.
    std::unique_ptr<Cursor> primaryKeys(const QString& table);
    std::unique_ptr<Cursor> foreignKeysTo(const QString& table);
    // How a query's rows are read: a block at a time where the columns allow, and text as
    // UTF-8 in narrow characters where the session gives it so (Connection::QueryEveryRow).
    struct Reading {
        bool inBlocks;
        bool narrowTextIsUtf8;
    };
    // The rows of a query, each column read as `readAs` says (text where it says nothing).
    std::unique_ptr<Cursor> query(const QString& sql, std::vector<ValueType> readAs,
                                  Reading reading = Reading{false, false});
    DataSourceInfo info();
    // Cancels the statement that runs now (a statement, a query or a fetch of its rows, an
    // insert), from any thread: one that waits on a lock then fails at once.
    void cancelRunning();
    // Autocommit off until commit() or rollback(), which turn it back on.
    void beginTransaction();
    void commit();
    void rollback();
    // An insert of `prefix` and one `row` of parameters of the given types, prepared once.
    std::unique_ptr<InsertStatement> prepareInsert(const QString& prefix, const QString& row,
                                                   std::vector<ParameterType> types,
                                                   Batching batching);
    // A load the server reads from a pipe of the client's (prepareLocalFileLoad).
    std::unique_ptr<InsertStatement> prepareLocalFileLoad(LocalFileLoadSpec load);

  private:
    void* environment_ = nullptr;
    void* connection_ = nullptr;
    void executeWide(const char16_t* sql, size_t length);
    void endTransaction(short completion);

    void* statement_ = nullptr;  // reused by every execute(), freed only with the connection
    // The statement that runs now; shared with the inserts and results it made, which may
    // outlive nothing of it but run on other threads.
    std::shared_ptr<odbc::RunningStatement> running_;
};

}  // namespace ado
