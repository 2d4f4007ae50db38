#pragma once

#include <QString>
#include <QStringList>

class Dialogs;

// The folder scan and file listing of the Paradox side.
namespace AddFolder {

// Appends to `folders` (each ending with "/") their subfolders, breadth first, at every depth
// when `recurse` is set. Symbolic links to folders are never followed.
void GetSubDirectories2016(QStringList& folders, bool recurse, Dialogs& dialogs);
// The names of the files of `folder` that match the wildcard `pattern` ignoring letter case,
// hidden files included, folders excluded. None for a folder that does not exist; throws when the
// folder cannot be listed.
QStringList ListFiles(QString folder, const QString& pattern);
// True when the folder name holds a character outside Windows-1252's printable range.
bool HasUnusableChars(const QString& name);
// Wildcard matching as the platform's directory listing does it: "*" and "?", any letter case.
bool MatchesWildcard(const QString& name, const QString& pattern);

}  // namespace AddFolder
