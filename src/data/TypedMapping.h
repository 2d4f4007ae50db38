#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "ado/Cursor.h"
#include "paradox/Field.h"
#include "products/TargetProduct.h"

// The second mapping of the command line (--typed): each Paradox field gets a target type that
// holds every value the field can hold, exactly, from the Paradox field type (not from the ADO
// code): Alpha(n) a character type of n characters, numbers of their own kinds, dates, times,
// booleans and bytes as such; the table's key and its AutoInc counter are kept too. The types
// and statements are the target product's own.
namespace TypedMapping {

struct Column {
    QString definition;  // the type, and what follows it in a column definition
    ado::ValueType valueType;
};

// How the table's columns are written on the target.
class Mapping {
  public:
    explicit Mapping(const TargetProduct& product) : product_(product) {}

    // `blankCounter`: the table's AutoInc field holds a blank, which its column must take as
    // NULL rather than count it or refuse it.
    Column columnFor(const px::Field& field, bool blankCounter = false) const;
    // The column definitions, quoted names with their types, separated by ", "; a type in
    // `chosen` (by column) takes the place of the mapping's definition.
    QString definitions(const std::vector<px::Field>& fields, bool blankCounter,
                        const std::vector<std::optional<QString>>& chosen = {}) const;
    // For a target not known by name: a line saying how its types were chosen.
    QString notice() const { return product_.typedNotice(); }

    // The statements that give a copied table its primary key (the first `keyFields` fields),
    // run once its rows are in, so that rows that break the key still arrive.
    QStringList keyStatements(const QString& table, const std::vector<px::Field>& fields,
                              int keyFields, bool blankCounter) const {
        return product_.keyStatements(table, fields, keyFields, blankCounter);
    }
    // The statements that set the AutoInc column's counter so that the next value handed out
    // lies above `above`; none where the target keeps no counter for it.
    QStringList counterStatements(const QString& table, const std::vector<px::Field>& fields,
                                  int keyFields, long long above, bool blankCounter) const {
        return product_.counterStatements(table, fields, keyFields, above, blankCounter);
    }

  private:
    const TargetProduct& product_;
};

}  // namespace TypedMapping
