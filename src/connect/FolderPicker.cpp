#include "FolderPicker.h"

#include "runtime/Dialogs.h"

namespace AddFolder {

QString BrowseForFolder(Dialogs& dialogs, QWidget* owner, const QString& title,
                        const QString& startFolder) {
    return dialogs.chooseFolder(owner, title, startFolder);
}

}  // namespace AddFolder
