#pragma once

#include <QString>

class TableList;

namespace Main {

// True when the list holds the name in any letter case.
bool ListHasName(const TableList& list, const QString& name);
// Removes every entry exactly equal to the name.
void RemoveListName(TableList& list, const QString& name);

}  // namespace Main
