#pragma once

#include <QString>

#include <memory>
#include <string_view>

#include "Cursor.h"

namespace ado {

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

    enum : int { adUseServer = 2, adUseClient = 3 };
    enum : int { adSchemaTables = 20 };

    QString Provider;
    int CursorLocation = adUseServer;

    void Open(const QString& connectionString);
    void Execute(const QString& sql);
    // The same for a statement held as UTF-8, as the transfer builds its inserts.
    void ExecuteUtf8(std::string_view utf8Sql);
    std::unique_ptr<RecordSet> OpenSchema(int schema);
    void Close();
    bool isOpen() const;

  private:
    friend class RecordSet;
    std::unique_ptr<Cursor> select(const QString& sql);

    std::unique_ptr<OdbcConnection> odbc_;
    std::unique_ptr<ParadoxSource> paradox_;
};

// The fields of a record set's current row.
class Field {
  public:
    // `value` is null when the record set has no current row.
    Field(const FieldInfo& info, const Variant* value) : info_(info), value_(value) {}
    const QString& name() const { return info_.name; }
    int Type() const { return info_.type; }
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

    void Open(const QString& sql, Connection& connection);
    int FieldCount() const;
    Field Fields(int index) const;
    Field Fields(const QString& name) const;
    // Known before the first row for a Paradox table; -1 where the source cannot tell.
    long long RecordCount() const;
    bool Eof() const { return !hasRow_; }
    void MoveNext();
    void Close();

  private:
    void requireOpen() const;

    std::unique_ptr<Cursor> cursor_;
    std::vector<Variant> row_;
    bool hasRow_ = false;
};

}  // namespace ado
