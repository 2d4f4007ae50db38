#pragma once

#include <QString>

// The plain file-system tests the program makes, none of which ever fails.
namespace Main {

// True when the path's date and time of last change can be read.
bool FileExists(const QString& path);
// True when the path's attributes can be read and it is a folder.
bool FolderExists(const QString& path);
// The part of a path after its last separator, the whole path when it has none.
QString FileNameFromPath(const QString& path);

}  // namespace Main

namespace AddFolder {

// True for an existing file that can be opened without reading it; false for folders and
// missing paths.
bool IsExistingFile(const QString& path);

}  // namespace AddFolder
