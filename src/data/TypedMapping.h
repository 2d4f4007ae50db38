#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

#include "TargetDialect.h"
#include "ado/Cursor.h"
#include "paradox/Field.h"

namespace ado {
class Connection;
}

// The second mapping of the command line (--typed): each Paradox field gets a target type that
// holds every value the field can hold, exactly, from the Paradox field type (not from the ADO
// code): Alpha(n) a character type of n characters, numbers of their own kinds, dates, times,
// booleans and bytes as such; the table's key and its AutoInc counter are kept too. SQL Anywhere,
// PostgreSQL and SQLite are known by name; any other target is asked for its type names.
namespace TypedMapping {

// The type names an unknown target offers, by ODBC SQL data type: its own name and whether it
// takes a length or precision in parentheses.
struct TypeName {
    QString name;
    bool takesLength = false;
};
using TypeNames = std::map<int, TypeName>;

// The target's type names, from SQLGetTypeInfo.
TypeNames typeNamesOf(ado::Connection& connection);

struct Column {
    QString definition;  // the type, and what follows it in a column definition
    ado::ValueType valueType;
};

// How the table's columns are written on the target.
class Mapping {
  public:
    Mapping(TargetDialect::Dbms dbms, TypeNames typeNames);

    // `blankCounter`: the table's AutoInc field holds a blank, which its column must take as
    // NULL rather than count it or refuse it.
    Column columnFor(const px::Field& field, bool blankCounter = false) const;
    // The column definitions, quoted names with their types, separated by ", ".
    QString definitions(const std::vector<px::Field>& fields, bool blankCounter) const;
    // For a target not known by name: a line saying how its types were chosen.
    QString notice(const QString& dbmsName) const;

    // The statements that give a copied table its primary key (the first `keyFields` fields),
    // run once its rows are in, so that rows that break the key still arrive.
    QStringList keyStatements(const QString& table, const std::vector<px::Field>& fields,
                              int keyFields, bool blankCounter) const;
    // The statements that set the AutoInc column's counter so that the next value handed out
    // lies above `above`; none where the target keeps no counter for it.
    QStringList counterStatements(const QString& table, const std::vector<px::Field>& fields,
                                  int keyFields, long long above, const QString& owner,
                                  bool blankCounter) const;

  private:
    // The AutoInc field that SQLite can count for: the table's one key field.
    static bool sqliteCounts(const std::vector<px::Field>& fields, int keyFields, size_t field,
                             bool blankCounter);
    QString otherType(const px::Field& field) const;

    TargetDialect::Dbms dbms_;
    TypeNames typeNames_;
};

}  // namespace TypedMapping
