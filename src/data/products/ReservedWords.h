#pragma once

#include <QString>

// The words each product reserves: a table or column named so must be quoted there. Lists from
// each product's manual, in lower case; the standard's list for a product not known by name.
namespace ReservedWords {

bool sqlStandard(const QString& word);
bool postgreSql(const QString& word);
bool mariaDb(const QString& word);
bool sqlAnywhere(const QString& word);
bool sqlite(const QString& word);

}  // namespace ReservedWords
