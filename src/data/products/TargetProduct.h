#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "TableDefinition.h"
#include "ado/BulkSession.h"
#include "ado/Cursor.h"
#include "paradox/Field.h"
#include "paradox/Value.h"

namespace ado {
class Connection;
}  // namespace ado

// What the program asks of the database product behind a data source, one class per product:
// SQL Anywhere, the target it is made for, PostgreSQL, MariaDB and SQLite by name, and any other
// through what its ODBC driver tells. Each answers the same questions: which tables an
// unqualified name reaches, how long a name may be, the column types of both mappings, the
// statements that key, count, rename and drop a table, and how its rows are read back.
class TargetProduct {
  public:
    virtual ~TargetProduct() = default;

    // The product behind an open connection, from SQLGetInfo's SQL_DBMS_NAME.
    static std::unique_ptr<TargetProduct> of(ado::Connection& connection);

    const ado::DataSourceInfo& info() const { return info_; }
    // The product's name as the data source gives it, or "the data source".
    QString displayName() const;

    // ---- names

    // Why `name` cannot name a table or column (`what`), or "" when it can: it is longer than
    // `limit`, which some products count in bytes.
    QString nameTooLong(const QString& what, const QString& name, int limit) const;
    // Whether `word` (any letter case) is one the product reserves: a name that needs quotes.
    virtual bool reserves(const QString& word) const;
    // Whether a table that SQLTables lists in `catalog` and `schema` is one an unqualified name
    // reaches: the connection's current catalog, and its current schema where it has one.
    virtual bool reaches(const QString& catalog, const QString& schema) const;
    // A name of its own for the table a copy is written to before it takes `table`'s place:
    // recognisable, and within the product's length for a table name.
    QString workTableName(const QString& table) const;
    // Whether `table` is a name workTableName() gives.
    static bool isWorkTableName(const QString& table);
    // The table a work table's name was made from, where that name was not shortened.
    static QString tableOfWorkTable(const QString& work);

    // ---- a schema of the user's choice

    // The statements that make unqualified names reach `schema`; none where the product has no
    // schemas.
    virtual QStringList useSchemaStatements(const QString& /*schema*/) const { return {}; }
    // Whether the product has schemas to put tables in.
    bool hasSchemas() const { return !useSchemaStatements(QStringLiteral("schema")).isEmpty(); }
    // Whether `schema` is there to put tables in: a schema, on MariaDB a database, on SQL
    // Anywhere a user to own them.
    bool schemaExists(ado::Connection& connection, const QString& schema) const;
    // Makes `schema` where the product lets the program make one; false where it does not (an
    // owner is a user, which the program never makes).
    virtual bool createSchema(ado::Connection& connection, const QString& schema) const;
    // Puts this connection's unqualified names, and so every table, key and index it makes, in
    // `schema`; the program's own journal stays where the connection started (atHome). Throws
    // where the product has no schemas.
    void useSchema(ado::Connection& connection, const QString& schema);
    // The schema chosen by useSchema(), "" for the connection's own.
    const QString& chosenSchema() const { return chosen_; }
    // The quoted name of `table` where the connection started: qualified once a schema was
    // chosen.
    QString atHome(const QString& table) const;

    // ---- the tables screen's mapping

    // The product's type for the mapping's word "TEXT" or "NUMERIC": what that word means on
    // SQL Anywhere (any length of text; 30 digits, 6 of them decimals), or more.
    virtual QString screenColumnType(const QString& word) const { return word; }

    // ---- the typed mapping

    // The column type, and what follows it in the definition, that holds every value of the
    // field exactly. `blankCounter`: an AutoInc field that holds a blank, which its column must
    // take as NULL.
    virtual QString typedColumnType(const px::Field& field, bool blankCounter) const = 0;
    // A line that says how the types were chosen, where that is not from the product's manual.
    virtual QString typedNotice() const { return {}; }
    // The statements that give a copied table its primary key: its first `keyFields` fields.
    virtual QStringList keyStatements(const QString& table, const std::vector<px::Field>& fields,
                                      int keyFields, bool blankCounter) const;
    // The statements that make the AutoInc column hand out values above `above`; none where
    // the product keeps no counter for it.
    virtual QStringList counterStatements(const QString& table,
                                          const std::vector<px::Field>& fields, int keyFields,
                                          long long above, bool blankCounter) const;

    // ---- the rest of a table's definition

    // The parts of a definition the product cannot carry, for one line of the report; "" when
    // it carries them all.
    virtual QString leftOut() const { return {}; }
    // A minimum, maximum or default as an SQL literal of its column; "" for none.
    virtual QString valueLiteral(const px::Value& value) const;
    // The steps that give a copied table its column rules and indexes, after its key and
    // counter; and those that make its foreign keys, once their parents are on the target.
    virtual std::vector<DefinitionStep> definitionSteps(const TableDefinition& definition) const;
    virtual std::vector<DefinitionStep> foreignKeySteps(const TableDefinition& definition) const;
    virtual QString dropForeignKey(const QString& table, const QString& name) const;
    // Whether a foreign key to a table keeps it from being dropped.
    virtual bool foreignKeysHoldDrops() const { return true; }
    // A name within the product's length for something of `table`: the table's name and
    // `suffix`, cut and told apart by a digest where too long.
    QString derivedName(const QString& table, const QString& suffix) const;
    // The condition a column's minimum and maximum make, "" for none.
    static QString rangeCondition(const ColumnRules& rules);

    // ---- tables

    // Whether CREATE, DROP and ALTER commit at once, beyond a rollback's reach.
    virtual bool ddlCommits() const { return info_.ddlCommits; }
    // Whether the database takes one writing transaction at a time, so that tables copied side
    // by side would only wait for each other.
    virtual bool oneWriterAtATime() const { return false; }
    // The product's own way of loading rows, on a session beside `connection` that reaches the
    // same database and schema; none where the product has none, or, with why in `refused`,
    // where it cannot be used.
    virtual std::unique_ptr<ado::BulkSession> openBulkSession(ado::Connection& /*connection*/,
                                                              QString& /*refused*/) const {
        return nullptr;
    }
    virtual QString renameStatement(const QString& from, const QString& to) const;
    // The statements that give the copy in `from` the name `to`, once `to` is free: the rename,
    // and the renames of what the product named after `from` itself (PostgreSQL's key and
    // sequence), so that the next copy's work table finds those names free.
    virtual QStringList renameStatements(const QString& from, const QString& to,
                                         const std::vector<px::Field>&) const {
        return {renameStatement(from, to)};
    }

    // ---- the lock a run holds while it lives

    // A run's own lock is named by the run; the server frees it when the connection ends, so
    // that another run can tell a run that is gone from one at work. The statements that take
    // it for this connection; none where the product has no such lock.
    virtual QStringList takeRunLock(const QString& run) const;
    // Takes the lock of `run` for this connection where it is free, or becomes free within
    // `seconds`: true when it was (the run is gone, and this connection holds its lock from now
    // on), false when a live run holds it; nothing where the product cannot tell.
    virtual std::optional<bool> claimRunLock(ado::Connection& connection, const QString& run,
                                             int seconds) const;
    // The statement that makes this connection's statements wait at most `seconds` for another
    // session's lock, and the setting's name as the product's manual gives it; none where the
    // product has no such setting.
    struct LockWait {
        QString statement;
        QString setting;
    };
    virtual std::optional<LockWait> lockWait(int /*seconds*/) const { return std::nullopt; }
    // The name of `run`'s lock: "morvane_" and 32 hexadecimal digits.
    static QString runLockName(const QString& run);
    // Whether the run's own lock can be taken on this product.
    bool locksRuns() const { return !takeRunLock(QStringLiteral("run")).isEmpty(); }
    // A text as a string literal of the product.
    QString textLiteralOf(const QString& text) const { return textLiteral(text); }

    // ---- reading a table back

    // How one column is read back to be compared with what was sent: the expression to select,
    // the type to read it as, and whether the product gives binary doubles as decimals of 17
    // digits.
    struct ReadBack {
        QString expression;
        ado::ValueType readAs;
        bool doublesAsDecimals = false;
    };
    // `column` a quoted name; `type` the type its values were sent as (text for a NUMERIC
    // column of the tables screen's mapping, which `numeric` marks).
    virtual ReadBack readBack(const QString& column, ado::ValueType type, bool numeric) const;

    using RowHandler = std::function<void(const std::vector<ado::Variant>&)>;
    // Hands each row of `columns` (expressions) of `table` (a quoted name) to `row`, holding
    // only part of the table at a time where the product's driver would otherwise take in the
    // whole result first. `columnNames` are the table's own column names. A `row` that throws
    // ends the reading. In the order of `orderBy` (expressions) where it names any; inside a
    // transaction that is open, the reading sees its changes and leaves it open.
    virtual void readRows(ado::Connection& connection, const QString& table,
                          const QStringList& columns, const QStringList& columnNames,
                          const std::vector<ado::ValueType>& readAs, const RowHandler& row,
                          const QStringList& orderBy = {}) const;
    // What each connection runs first so that the program's statements mean what they say
    // (on MariaDB, double-quoted names); of() runs them on the connection it looks at.
    virtual QStringList sessionStatements() const { return {}; }
    // A text `column` (a quoted name) as an expression that orders by its bytes, whatever the
    // column's collation: the order a source's text key is compared in.
    virtual QString binaryOrder(const QString& column) const { return column; }

  protected:
    explicit TargetProduct(ado::DataSourceInfo info) : info_(std::move(info)) {}

    // " ORDER BY ..." for `orderBy`, or "" when it names nothing.
    static QString orderClause(const QStringList& orderBy);

    // Whether the session gives text as UTF-8 in the driver's narrow characters, so that rows
    // read back need no conversion to wide characters and back.
    virtual bool textComesAsUtf8(ado::Connection&) const { return false; }
    // Whether the product's limits on names count UTF-8 bytes rather than characters.
    virtual bool namesInBytes() const { return false; }
    // How the product compares the names of catalogs and schemas.
    virtual Qt::CaseSensitivity namesOfSchemas() const { return Qt::CaseSensitive; }
    // The query that counts the schemas named `schema`.
    virtual QString schemaCountQuery(const QString& /*schema*/) const { return {}; }
    // The schema unqualified names go to, or "" where the product has none or cannot tell.
    virtual QString currentSchema(ado::Connection&) const { return {}; }
    // The ALTER TABLE ... ADD PRIMARY KEY that most products take.
    static QString addPrimaryKey(const QString& table, const std::vector<px::Field>& fields,
                                 int keyFields);
    // The type most products give the field in the typed mapping, each from the SQL standard:
    // a product names only the fields it types otherwise.
    static QString commonType(const px::Field& field);
    // The AutoInc field of `fields`, or null.
    static const px::Field* autoIncrementField(const std::vector<px::Field>& fields);
    // A string literal: between single quotes, each quote doubled.
    static QString literal(const QString& text);
    // A string literal as the product reads it: where a backslash escapes, it is doubled too.
    QString textLiteral(const QString& text) const;
    // Whether a backslash escapes the next character in the product's string literals.
    virtual bool backslashEscapes() const { return false; }
    // A picture as the column's comment, a string literal.
    QString pictureComment(const ColumnRules& rules) const;
    virtual QString booleanLiteral(bool value) const;
    // What a column's rules take: NOT NULL, DEFAULT and the picture as its comment, each a
    // step; the range check is a step of its own.
    virtual std::vector<DefinitionStep> columnSteps(const TableDefinition& definition,
                                                    const ColumnRules& rules) const;
    // ALTER TABLE's change of one column: "NOT NULL" or "DEFAULT value".
    virtual QString alterColumn(const QString& table, const px::Field& field,
                                const QString& change) const;
    DefinitionStep defaultStep(const QString& table, const ColumnRules& rules) const;
    DefinitionStep rangeStep(const QString& table, const ColumnRules& rules) const;
    DefinitionStep indexStep(const QString& table, const IndexDefinition& index) const;
    // An index's column: descending, or its lower-case value where the index ignores case and
    // the product indexes expressions.
    virtual QString indexedColumn(const QString& column, bool descending,
                                  bool caseInsensitive) const;
    DefinitionStep foreignKeyStep(const QString& table, const ForeignKey& key) const;
    QString foreignKeyClause(const ForeignKey& key) const;
    // The words of a foreign key's action, and of when it is checked ("" when at each
    // statement, where it cannot be put off).
    virtual QString keyAction(KeyAction action) const;
    virtual QString keyDeferral(KeyDeferral deferral) const;
    // The field's name, quoted.
    static QString quoted(const px::Field& field);

    ado::DataSourceInfo info_;
    QString schema_;
    QString chosen_;  // the schema useSchema() chose
    QString home_;    // the schema, or catalog, the connection started in
};
