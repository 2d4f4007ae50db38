#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Cursor.h"
#include "Insert.h"

namespace ado {

class StatementQueue;
class OdbcConnection;
class ParadoxSource;
class RecordSet;

// An ADO-like connection: a data source name through unixODBC ("Data Source=NAME"), or a folder
// of Paradox tables (a connection string whose Driver names the Paradox driver).
class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    enum : int { adSchemaTables = 20 };

    void Open(const QString& connectionString);
    // A data source's settings, keywords in lower case: its definition's, with those of the
    // connection string over them.
    const std::map<QString, QString>& Settings() const { return settings_; }
    void Execute(const QString& sql);
    // An insert of `prefix` followed by a `row` of parameters of the given types, prepared once
    // and run with each row's values bound; it must be gone before the connection closes.
    std::unique_ptr<InsertStatement> PrepareInsert(const QString& prefix, const QString& row,
                                                   std::vector<ParameterType> types,
                                                   Batching batching);
    // A load of whole rows the server reads from a pipe of the client's while its statement
    // runs, started at once: a statement the server refuses before reading throws
    // BulkLoadRefused. It goes through the insert queue as an insert does.
    std::unique_ptr<InsertStatement> PrepareLocalFileLoad(LocalFileLoadSpec load);
    // Rows inserted on a thread of the connection's own, in order, while the caller goes on;
    // nothing else runs on the connection meanwhile. `whileWaiting` is called every few
    // milliseconds while the caller waits for them.
    using Waiting = std::function<void()>;
    using Rows = std::vector<std::vector<Variant>>;
    // Queues rows for `insert`, which must live until the queue has run; waits while too many
    // are queued, unless `stopped` says the caller stops: then false, nothing queued.
    using Stopped = std::function<bool()>;
    bool InsertAsync(InsertStatement& insert, Rows rows, const Waiting& whileWaiting,
                     const Stopped& stopped = {});
    // Queues the sending of the rows `insert` holds back (a batching insert's last ones).
    void FlushAsync(InsertStatement& insert, const Waiting& whileWaiting);
    // The failure of a queued insert: the queue halts at a failed one until this has been
    // called. Null when none has failed.
    std::exception_ptr TakeExecutionFailure();
    // Waits until the queued statements have run or one has failed.
    void WaitForExecution(const Waiting& whileWaiting);
    bool isExecuting() const;
    // Drops the queued statements not yet started, and waits for the one running.
    void Cancel(const Waiting& whileWaiting);
    // From another thread: cancels the Execute() that runs now (one waiting on another
    // session's lock fails at once). The connection must stay open meanwhile.
    void CancelRunning();
    std::unique_ptr<RecordSet> OpenSchema(int schema);
    // The rows of a query on a data source, each column read as `readAs` says (text where it
    // says nothing).
    std::unique_ptr<RecordSet> Query(const QString& sql, std::vector<ValueType> readAs = {});
    // The same for a query whose every row is read, as a table read back whole: the driver
    // hands the rows over a block at a time where their columns allow. `narrowTextIsUtf8`: the
    // session gives text as UTF-8 in the driver's narrow characters, which are read as they
    // come rather than converted to wide ones and back.
    std::unique_ptr<RecordSet> QueryEveryRow(const QString& sql, std::vector<ValueType> readAs,
                                             bool narrowTextIsUtf8 = false);
    // The data types the data source offers: TYPE_NAME, DATA_TYPE, CREATE_PARAMS... as ODBC's
    // SQLGetTypeInfo lists them.
    std::unique_ptr<RecordSet> TypeInfo();
    // SQLPrimaryKeys of `table`: TABLE_CAT, TABLE_SCHEM, TABLE_NAME, COLUMN_NAME, KEY_SEQ...
    std::unique_ptr<RecordSet> PrimaryKeys(const QString& table);
    // SQLForeignKeys that refer to `table`: PKTABLE_CAT... FKTABLE_NAME (7), FKCOLUMN_NAME (8),
    // KEY_SEQ (9), UPDATE_RULE (10), FK_NAME (12).
    std::unique_ptr<RecordSet> ForeignKeysTo(const QString& table);
    // The data source's product, user and name limits.
    DataSourceInfo Info();
    // The statements from BeginTrans on take effect together at CommitTrans, or none of them.
    void BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    // Between BeginTrans and its commit or rollback.
    bool InTransaction() const { return inTransaction_; }
    void Close();
    bool isOpen() const;
    // From now on, each call made on this thread that waits for the data source (a statement,
    // a query, a commit or a rollback) goes through `runner`, which may run it on another
    // thread while this one goes on handling a window's events; calls from other threads run
    // as they come.
    using Runner = std::function<void(const std::function<void()>&)>;
    void RunWaitingCallsWith(Runner runner);
    // A Paradox connection: whether its tables open by the salvage reading, damaged ones too.
    void SalvageDamagedTables(bool salvage);

  private:
    bool inTransaction_ = false;
    std::map<QString, QString> settings_;
    friend class RecordSet;
    std::unique_ptr<Cursor> openTable(const QString& file);
    void requireIdle() const;
    OdbcConnection& requireTarget() const;
    [[noreturn]] void refuseStatement(const std::string& sql) const;
    // The queue of inserts, made when the first is queued.
    StatementQueue& queue();
    // Runs `call` through the runner, where one was given to this thread.
    template <typename Call>
    auto waitingCall(Call call) -> decltype(call());

    std::unique_ptr<OdbcConnection> odbc_;
    std::unique_ptr<ParadoxSource> paradox_;
    std::unique_ptr<StatementQueue> queue_;
    Runner runner_;
    std::thread::id runnerThread_;
};

// The bytes a row of values holds, as the queue's bound counts them.
size_t bytesHeldBy(const std::vector<Variant>& row);

// The fields of a record set's current row.
class Field {
  public:
    // `value` is null when the record set has no current row.
    Field(const FieldInfo& info, const Variant* value) : info_(info), value_(value) {}
    const QString& name() const { return info_.name; }
    int Type() const { return info_.type; }
    // The Paradox field behind it, for a Paradox table.
    const std::optional<px::Field>& Source() const { return info_.source; }
    const Variant& Value() const;

  private:
    const FieldInfo& info_;
    const Variant* value_;
};

// An ADO-like record set, read forward once. The current row is the one before the cursor.
class RecordSet {
  public:
    RecordSet() = default;
    explicit RecordSet(std::unique_ptr<Cursor> cursor);

    // Opens a Paradox table file on a Paradox connection; its row count is known at once.
    void OpenTable(const QString& file, Connection& connection);
    int FieldCount() const;
    Field Fields(int index) const;
    Field Fields(const QString& name) const;
    // Known before the first row for a Paradox table; -1 where the source cannot tell.
    long long RecordCount() const;
    // A Paradox table's key and AutoInc counter.
    KeyInfo Keys() const;
    bool Eof() const { return !hasRow_; }
    // The values of the current row, in field order.
    const std::vector<Variant>& CurrentRow() const;
    void MoveNext();
    void Close();
    // A Paradox table opened by the salvage reading: what it could not read; else none.
    const px::SalvageReport* Salvaged() const;

  private:
    void requireOpen() const;

    std::unique_ptr<Cursor> cursor_;
    std::vector<Variant> row_;
    bool hasRow_ = false;
};

}  // namespace ado
