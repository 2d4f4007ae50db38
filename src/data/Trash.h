#pragma once

#include <QString>

#include <optional>

// The user's trash as the desktop's file managers keep it (the freedesktop.org trash): a file
// moved there can be restored from any file manager, or moved back by hand. A file on the home
// folder's file system goes to $XDG_DATA_HOME/Trash; a file on another file system goes to that
// file system's own trash ($topdir/.Trash/$uid or $topdir/.Trash-$uid), never across.
namespace Trash {

// Moves the file (a link itself, not what it points at) to the trash: the path it has there, or
// nothing, with the reason, when no trash can take it.
std::optional<QString> moveToTrash(const QString& path, QString& reason);

// Whether the folder is a trash folder: the home trash, or a `.Trash` or `.Trash-UID` at the
// top of a file system. What lies in a trash was deleted, and is no table to list.
bool isTrashFolder(const QString& path);

}  // namespace Trash
