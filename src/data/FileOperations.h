#pragma once

#include <QString>

#include <utility>
#include <vector>

class Dialogs;
class QWidget;

namespace Main {

// Lets pending events run, then deletes the file; never fails. The reason when the file could
// not be deleted, "" when it is gone.
QString DeleteFileForced(const QString& path);

// Renames files by copy and delete: every source is copied to its destination (never over an
// existing file) and flushed to disk, and only when every copy is complete are the sources
// deleted. A failed copy is reported under "Main.RenameFile", the copies already made are
// removed, and every source stays as it was. True when the files were renamed.
bool RenameFile(const std::vector<std::pair<QString, QString>>& moves, Dialogs& dialogs,
                QWidget* owner);

}  // namespace Main
