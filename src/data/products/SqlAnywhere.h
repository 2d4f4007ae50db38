#pragma once

#include "ReservedWords.h"
#include "TargetProduct.h"

// SQL Anywhere, the target the program is made for, from its manuals: names up to 128 bytes,
// a user's own tables first, CREATE, DROP and ALTER committed at once, a table renamed by
// ALTER TABLE ... RENAME, an AutoInc counter set by sa_reset_identity.
class SqlAnywhere : public TargetProduct {
  public:
    explicit SqlAnywhere(ado::DataSourceInfo info) : TargetProduct(std::move(info)) {}
    QStringList useSchemaStatements(const QString& schema) const override;

    bool reserves(const QString& word) const override { return ReservedWords::sqlAnywhere(word); }

    QString typedColumnType(const px::Field& field, bool blankCounter) const override;
    QStringList counterStatements(const QString& table, const std::vector<px::Field>& fields,
                                  int keyFields, long long above, bool blankCounter) const override;
    bool ddlCommits() const override { return true; }
    QString renameStatement(const QString& from, const QString& to) const override;
    QString leftOut() const override;
    // A temporary mutex of the connection's, locked: the server drops it with the connection.
    QStringList takeRunLock(const QString& run) const override;
    std::optional<bool> claimRunLock(ado::Connection& connection, const QString& run,
                                     int seconds) const override;
    std::optional<LockWait> lockWait(int seconds) const override;
    // LOAD TABLE from a pipe of the client's, where the database lets a connection read its
    // client's files; a server that refuses the statement itself leaves the rows to inserts.
    std::unique_ptr<ado::BulkSession> openBulkSession(ado::Connection& connection,
                                                      QString& refused) const override;
    // The statement that loads `quotedTable` from the client's file at `path`, which holds
    // lines of loadTableLine().
    QString loadTableStatement(const QString& quotedTable, const QString& path) const;

  protected:
    QString schemaCountQuery(const QString& schema) const override;
    bool namesInBytes() const override { return true; }
    Qt::CaseSensitivity namesOfSchemas() const override { return Qt::CaseInsensitive; }
    // A user's own tables come first, and new ones are its own.
    QString currentSchema(ado::Connection&) const override { return info_.userName; }
    // A backslash escapes in its string literals.
    bool backslashEscapes() const override { return true; }
    QString booleanLiteral(bool value) const override {
        return value ? QStringLiteral("1") : QStringLiteral("0");
    }
    QString alterColumn(const QString& table, const px::Field& field,
                        const QString& change) const override;
    // Its actions have no NO ACTION, and a key checked at the commit says CHECK ON COMMIT.
    QString keyAction(KeyAction action) const override;
    QString keyDeferral(KeyDeferral deferral) const override;
};

// One row as LOAD TABLE reads it: values between commas, a NULL as nothing, text quoted with
// every quote, comma, backslash and control character written as an escape, bytes in hex.
void appendLoadTableLine(std::string& out, const std::vector<px::Value>& row,
                         const std::vector<ado::ParameterType>& types);
