#pragma once

#include <QString>

#include <optional>

#include "data/TableEntry.h"

class Dialogs;
class ErrorTrap;
class QWidget;

// Deletion and renaming of Paradox tables, each acting on the file it was listed from. These
// are the only writes the program ever makes to the Paradox folder.
namespace ParadoxTables {

// Moves the table's data file and its companions to the user's trash, or deletes them where no
// trash can take them; true when the data file is gone, false (without a message) when it was
// not there. A data file that stays is reported at line 110.
bool remove(ErrorTrap& trap, const TableEntry& table);

// Renames the table with all its files; the new data file when it was renamed. A name that
// cannot be a file name, or whose files would meet files already in the folder, is refused
// with a message and nothing moves; a failed copy is reported under "Main.RenameFile".
std::optional<QString> rename(Dialogs& dialogs, QWidget* owner, const TableEntry& table,
                              const QString& newName);

}  // namespace ParadoxTables
