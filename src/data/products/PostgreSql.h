#pragma once

#include "ReservedWords.h"
#include "TargetProduct.h"
#include "ado/PostgresCopy.h"

// PostgreSQL: names up to 63 bytes, cut without a word beyond; the first schema of the search
// path; every statement inside a transaction; an identity or a sequence for the AutoInc field;
// rows read back through a cursor, since its driver takes in a whole result first; rows loaded
// by COPY on a session of their own, which must reach what the connection reaches.
class PostgreSql : public TargetProduct {
  public:
    explicit PostgreSql(ado::DataSourceInfo info) : TargetProduct(std::move(info)) {}
    QStringList useSchemaStatements(const QString& schema) const override;

    bool createSchema(ado::Connection& connection, const QString& schema) const override;

    bool reserves(const QString& word) const override { return ReservedWords::postgreSql(word); }

    QString typedColumnType(const px::Field& field, bool blankCounter) const override;
    QStringList counterStatements(const QString& table, const std::vector<px::Field>& fields,
                                  int keyFields, long long above, bool blankCounter) const override;
    bool ddlCommits() const override { return false; }
    std::unique_ptr<ado::BulkSession> openBulkSession(ado::Connection& connection,
                                                      QString& refused) const override;
    QStringList takeRunLock(const QString& run) const override;
    std::optional<bool> claimRunLock(ado::Connection& connection, const QString& run,
                                     int seconds) const override;
    std::optional<LockWait> lockWait(int seconds) const override;
    QStringList renameStatements(const QString& from, const QString& to,
                                 const std::vector<px::Field>& fields) const override;
    QString indexedColumn(const QString& column, bool descending, bool ignoringCase) const override;
    QString binaryOrder(const QString& column) const override {
        return column + QStringLiteral(R"( COLLATE "C")");
    }
    void readRows(ado::Connection& connection, const QString& table, const QStringList& columns,
                  const QStringList& columnNames, const std::vector<ado::ValueType>& readAs,
                  const RowHandler& row, const QStringList& orderBy) const override;

  protected:
    QString schemaCountQuery(const QString& schema) const override;
    bool namesInBytes() const override { return true; }
    QString currentSchema(ado::Connection& connection) const override;

  private:
    // The COPY session the rows are read back through, opened on the first reading.
    mutable std::unique_ptr<ado::PostgresCopy> reader_;
    mutable bool readerTried_ = false;
};
