#include "FolderPicker.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ui/Dialogs.h"

namespace AddFolder {

QString BrowseForFolder(Dialogs& dialogs, QWidget* owner, const QString& title,
                        const QString& startFolder)
{
    return dialogs.chooseFolder(owner, title, startFolder);
}

bool IsExistingFile(const QString& path)
{
    // O_PATH opens without any data access, like an attribute-only open.
    const int fd = ::open(QFile::encodeName(path).constData(), O_PATH | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool isFile = ::fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode);
    ::close(fd);
    return isFile;
}

}  // namespace AddFolder
