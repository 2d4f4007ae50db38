#include "FileChecks.h"

#include <QFile>

#include <sys/stat.h>

namespace {

bool statOf(const QString& path, struct stat& info) {
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

}  // namespace

namespace Main {

bool FileExists(const QString& path) {
    struct stat info {};
    return statOf(path, info);
}

bool FolderExists(const QString& path) {
    struct stat info {};
    return statOf(path, info) && S_ISDIR(info.st_mode);
}

QString FileNameFromPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

}  // namespace Main

namespace AddFolder {

bool IsExistingFile(const QString& path) {
    // An open without data access succeeds exactly where the file's attributes can be read.
    struct stat info {};
    return statOf(path, info) && !S_ISDIR(info.st_mode);
}

}  // namespace AddFolder
