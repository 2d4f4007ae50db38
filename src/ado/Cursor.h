#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "paradox/Field.h"
#include "paradox/Salvage.h"
#include "paradox/Value.h"

namespace ado {

using Variant = px::Value;

// How a value travels between the program and a data source: as its text form, which the
// server converts (a null, and an empty text, as NULL), or as a value of its own type.
enum class ValueType {
    Text,
    Decimal,  // its digits, as an exact DECIMAL (read from binary doubles as a double)
    Integer,
    Double,
    Date,
    Time,  // "HH:MM:SS.mmm": ODBC's time structure holds no milliseconds
    Timestamp,
    Boolean,
    Binary,
};

// How an insert's parameter is bound: the type of its values and, for a Decimal, the scale of
// its column, so that a driver that honours the scale keeps every decimal.
struct ParameterType {
    ParameterType(ValueType valueType, short columnScale = 0)  // NOLINT: a plain type converts
        : type(valueType), scale(columnScale) {}
    // A decimal whose scale is that of the values bound: as many as the longest fraction.
    static ParameterType decimalAsWritten() { return {ValueType::Decimal, kScaleAsWritten}; }
    static constexpr short kScaleAsWritten = -1;
    ValueType type;
    short scale;
};

// What a data source says of itself.
struct DataSourceInfo {
    QString dbmsName;  // as SQLGetInfo gives it: "PostgreSQL", "SQLite", "SQL Anywhere"...
    QString userName;  // the user the connection logged in as
    int maxTableNameLength = 0;  // 0: no limit, or none known
    int maxColumnNameLength = 0;
    QString catalog;  // the catalog (database) unqualified names reach, or "" where none is told
    // A statement that defines data ends the transaction it runs in (SQL_TXN_CAPABLE): a
    // rollback cannot take back a table made or dropped.
    bool ddlCommits = false;
    unsigned alterTable = 0;      // what ALTER TABLE can do: SQL_ALTER_TABLE's SQL_AT_ bits
    bool createsIndexes = false;  // CREATE INDEX (SQL_DDL_INDEX)
};

struct FieldInfo {
    QString name;
    int type;  // an ADO DataTypeEnum code
    // A Paradox table's own description of the field; none for other sources.
    std::optional<px::Field> source = std::nullopt;
};

// What a Paradox table's header says of its key and its AutoInc counter.
struct KeyInfo {
    int keyFields = 0;                // the first this many fields make the primary key
    long long lastAutoIncrement = 0;  // the last value the AutoInc field handed out
};

// Rows of a result, read forward once.
class Cursor {
  public:
    virtual ~Cursor() = default;
    virtual const std::vector<FieldInfo>& fields() const = 0;
    // The row count when the source knows it before the first row, else -1.
    virtual long long rowCount() const = 0;
    // Fills `row` with the next row; false after the last.
    virtual bool fetch(std::vector<Variant>& row) = 0;
    virtual KeyInfo keyInfo() const { return {}; }
    // A Paradox table read by the salvage reading: what it could not read; else none.
    virtual const px::SalvageReport* salvaged() const { return nullptr; }
};

}  // namespace ado
