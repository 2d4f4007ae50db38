#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Dialogs;

// The folder scan and file listing of the Paradox side.
namespace AddFolder {

// Told of each folder the scan passes over because it cannot be listed, with the reason.
using SkippedFolder = std::function<void(const QString& folder, const QString& reason)>;

// Appends to `folders` (each ending with "/") their subfolders, breadth first, at every depth
// when `recurse` is set. Symbolic links to folders are followed; each real folder is visited
// once, whatever the paths that reach it.
void GetSubDirectories2016(QStringList& folders, bool recurse, Dialogs& dialogs,
                           const SkippedFolder& skipped = {});
// The names of the files of `folder` that match the wildcard `pattern` ignoring letter case,
// hidden files included, folders excluded. None for a folder that does not exist; throws when the
// folder cannot be listed.
QStringList ListFiles(QString folder, const QString& pattern);
// True when the folder name holds a control character, a "?", or a character the system's
// encoding cannot represent.
bool HasUnusableChars(const QString& name);
// Wildcard matching as the platform's directory listing does it: "*" and "?", any letter case.
bool MatchesWildcard(const QString& name, const QString& pattern);

}  // namespace AddFolder
