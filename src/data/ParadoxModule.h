#pragma once

#include <QString>

class Dialogs;
class TableList;

namespace Paradox {

// The Paradox connection string, with the folder inserted twice.
QString ParadoxConnectionString(const QString& folder);
// True when the folder itself (not its subfolders) holds at least one table file.
bool ParadoxFolderHasTables(const QString& folder);
// Adds the tables of the folder and of every subfolder to the list. Each entry's text is the
// file name in upper case with every ".DB" removed; its data is the file it was listed from.
void ListParadoxTables(TableList& list, const QString& folder, Dialogs& dialogs);
// The statement that reads a listed table: "SELECT * FROM "NAME"" where the name finds the
// entry's own file in the Paradox folder, else the same with the file's path in the quotes.
QString SourceQuery(const QString& tableName, const QString& file, const QString& folder);
// The entry text of a table file name.
QString TableNameOf(const QString& fileName);

}  // namespace Paradox
