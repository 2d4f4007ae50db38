#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "FolderScan.h"
#include "TableEntry.h"

class Dialogs;

namespace Paradox {

// The Paradox connection string, with the folder inserted twice.
QString ParadoxConnectionString(const QString& folder);
// True when the folder itself (not its subfolders) holds at least one table file.
bool ParadoxFolderHasTables(const QString& folder);
// Hands each table of the folder and of every subfolder to `found`: its name is the file name
// in upper case with every ".DB" removed, its file the one it was listed from. A failure ends
// the listing; the tables handed out before it stay with the caller. Subfolders that cannot be
// listed are passed over, and told to `skipped`.
void ListParadoxTables(const QString& folder, Dialogs& dialogs,
                       const std::function<void(const TableEntry&)>& found,
                       const AddFolder::SkippedFolder& skipped = {});
// The table name of a table file name.
QString TableNameOf(const QString& fileName);
// The files a Paradox program keeps beside tables it has open, as `folder` names them:
// PARADOX.LCK, PDOXUSRS.LCK, a table's own .LCK (any name ending .LCK) and PDOXUSRS.NET, in any
// case. Reads the folder's names only.
QStringList LockFilesIn(const QString& folder);

}  // namespace Paradox
