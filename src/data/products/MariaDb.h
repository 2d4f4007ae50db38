#pragma once

#include "ReservedWords.h"
#include "TargetProduct.h"

// MariaDB (and MySQL) through Connector/ODBC, each session set to take double-quoted names
// (sql_mode ANSI_QUOTES): the data source's database is what names reach; CREATE, DROP and ALTER
// commit at once; a bare DECIMAL keeps no fraction and TEXT holds 64 KB, so both mappings name
// wider types; an AutoInc counter needs the column to lead an index.
// One row as LOAD DATA reads it: fields apart by tabs, \N for NULL (and for an empty text, as
// the inserts send it), a backslash escaping the rest.
void appendLoadDataLine(std::string& out, const std::vector<px::Value>& row,
                        const std::vector<ado::ParameterType>& types);

class MariaDb : public TargetProduct {
  public:
    explicit MariaDb(ado::DataSourceInfo info) : TargetProduct(std::move(info)) {}
    QStringList useSchemaStatements(const QString& schema) const override;

    bool createSchema(ado::Connection& connection, const QString& schema) const override;

    bool reserves(const QString& word) const override { return ReservedWords::mariaDb(word); }

    QString screenColumnType(const QString& word) const override;
    QString typedColumnType(const px::Field& field, bool blankCounter) const override;
    QStringList counterStatements(const QString& table, const std::vector<px::Field>& fields,
                                  int keyFields, long long above, bool blankCounter) const override;
    bool ddlCommits() const override { return true; }
    std::unique_ptr<ado::BulkSession> openBulkSession(ado::Connection& connection,
                                                      QString& refused) const override;
    QStringList takeRunLock(const QString& run) const override;
    std::optional<bool> claimRunLock(ado::Connection& connection, const QString& run,
                                     int seconds) const override;
    std::optional<LockWait> lockWait(int seconds) const override;
    QString leftOut() const override;
    QString dropForeignKey(const QString& table, const QString& name) const override;
    QStringList sessionStatements() const override {
        return {QStringLiteral(
            "SET SESSION sql_mode = CONCAT_WS(',', NULLIF(@@sql_mode, ''), 'ANSI_QUOTES')")};
    }
    QString binaryOrder(const QString& column) const override {
        return QStringLiteral("BINARY ") + column;
    }

  protected:
    QString schemaCountQuery(const QString& schema) const override;
    // Where the session's results are in utf8mb4 (or utf8mb3), as the driver sets them unless
    // the data source names another character set.
    bool textComesAsUtf8(ado::Connection& connection) const override;
    // A backslash escapes in its string literals.
    bool backslashEscapes() const override { return true; }
    std::vector<DefinitionStep> columnSteps(const TableDefinition& definition,
                                            const ColumnRules& rules) const override;
    // Its foreign keys are checked at each statement, and cannot be put off.
    QString keyDeferral(KeyDeferral) const override { return {}; }

  private:
    mutable std::optional<bool> utf8Results_;
};
