#include "FolderPicker.h"

#include <QFile>

#include <sys/stat.h>

#include "ui/Dialogs.h"

namespace AddFolder {

QString BrowseForFolder(Dialogs& dialogs, QWidget* owner, const QString& title,
                        const QString& startFolder) {
    return dialogs.chooseFolder(owner, title, startFolder);
}

bool IsExistingFile(const QString& path) {
    // An open without data access succeeds exactly where the file's attributes can be read.
    struct stat info {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           !S_ISDIR(info.st_mode);
}

}  // namespace AddFolder
