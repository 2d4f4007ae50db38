#include "Trash.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace Trash {

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A folder that is really one, not a link to one.
bool isRealFolder(const QByteArray& path, struct stat* info = nullptr) {
    struct stat own {};
    struct stat& got = info ? *info : own;
    return ::lstat(path.constData(), &got) == 0 && S_ISDIR(got.st_mode);
}

// Makes the folder and its missing parents, private to the user; true when it is a real folder.
bool makeFolder(const QByteArray& path) {
    if (isRealFolder(path))
        return true;
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && !makeFolder(path.left(slash)))
        return false;
    return (::mkdir(path.constData(), 0700) == 0 || errno == EEXIST) && isRealFolder(path);
}

// A trash folder with its two parts, made where missing.
bool prepared(const QByteArray& trash) {
    return makeFolder(trash + "/files") && makeFolder(trash + "/info");
}

QByteArray homeTrash() {
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/'))
        dataHome = qgetenv("HOME") + "/.local/share";
    return dataHome + "/Trash";
}

// The top folder of the file system that holds `folder`: its mount point.
QByteArray topFolderOf(QByteArray folder, dev_t device) {
    for (;;) {
        const qsizetype slash = folder.lastIndexOf('/');
        const QByteArray parent = slash > 0 ? folder.left(slash) : QByteArray("/");
        struct stat info {};
        if (folder == "/" || ::stat(parent.constData(), &info) != 0 || info.st_dev != device)
            return folder;
        folder = parent;
    }
}

// The device of the nearest folder of `path` that exists.
dev_t deviceOf(QByteArray path) {
    struct stat info {};
    while (::stat(path.isEmpty() ? "/" : path.constData(), &info) != 0 && !path.isEmpty())
        path.truncate(std::max<qsizetype>(path.lastIndexOf('/'), 0));
    return info.st_dev;
}

// The trash folders that can take a file of `device` without copying it, best first: the home
// trash for a file on the home folder's file system, the trash of its own file system otherwise.
std::vector<QByteArray> trashesFor(const QByteArray& folder, dev_t device) {
    const QByteArray home = homeTrash();
    if (deviceOf(home) == device)
        return prepared(home) ? std::vector<QByteArray>{home} : std::vector<QByteArray>{};
    const QByteArray top = topFolderOf(folder, device);
    const QByteArray base = top == "/" ? QByteArray() : top;
    const QByteArray uid = QByteArray::number(::getuid());
    std::vector<QByteArray> trashes;
    struct stat info {};
    // A shared .Trash is used only when it is a real folder with the sticky bit, as the
    // freedesktop.org rules demand, so that users cannot take each other's files.
    if (isRealFolder(base + "/.Trash", &info) && (info.st_mode & S_ISVTX) &&
        prepared(base + "/.Trash/" + uid))
        trashes.push_back(base + "/.Trash/" + uid);
    if (prepared(base + "/.Trash-" + uid) && isRealFolder(base + "/.Trash-" + uid, &info) &&
        info.st_uid == ::getuid())
        trashes.push_back(base + "/.Trash-" + uid);
    return trashes;
}

// "name", then "name (2)", "name (3)"... before the extension.
QByteArray numberedName(const QByteArray& name, int number) {
    if (number == 1)
        return name;
    const qsizetype dot = name.lastIndexOf('.');
    const qsizetype split = dot > 0 ? dot : name.size();
    return name.left(split) + " (" + QByteArray::number(number) + ")" + name.mid(split);
}

bool writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t put =
            ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        written += put;
    }
    return true;
}

// Puts the file into one trash folder: the info file first, created exclusively so that two
// deletions never take one name, then the file itself. Nothing, with errno set, when it failed.
std::optional<QByteArray> putInto(const QByteArray& trash, const QByteArray& file,
                                  const QByteArray& name) {
    const QByteArray info =
        "[Trash Info]\nPath=" + file.toPercentEncoding("/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() +
        "\n";
    for (int number = 1; number < 10000; ++number) {
        const QByteArray taken = numberedName(name, number);
        const QByteArray infoPath = trash + "/info/" + taken + ".trashinfo";
        const QByteArray destination = trash + "/files/" + taken;
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return std::nullopt;
        const bool written = writeAll(fd, info);
        const int writeError = written ? 0 : (errno != 0 ? errno : EIO);
        ::close(fd);
        struct stat existing {};
        if (written && ::lstat(destination.constData(), &existing) == 0) {
            ::unlink(infoPath.constData());  // the name is taken among the files: the next one
            continue;
        }
        if (written && ::rename(file.constData(), destination.constData()) == 0)
            return destination;
        const int error = written ? errno : writeError;
        ::unlink(infoPath.constData());
        errno = error;
        return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}

bool sameFolder(const QByteArray& a, const QByteArray& b) {
    struct stat first {
    }, second{};
    return ::stat(a.constData(), &first) == 0 && ::stat(b.constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// A file system's top folder: its parent lies on another device, or is itself ("/").
bool isTopFolder(const QByteArray& folder) {
    struct stat self {
    }, parent{};
    if (::stat(folder.constData(), &self) != 0 ||
        ::stat((folder + "/..").constData(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

bool isTopTrashName(const QString& name) {
    if (name == QLatin1String(".Trash"))
        return true;
    if (!name.startsWith(QLatin1String(".Trash-")) || name.size() == 7)
        return false;
    return std::all_of(name.begin() + 7, name.end(), [](QChar c) { return c.isDigit(); });
}

}  // namespace

bool isTrashFolder(const QString& path) {
    QString clean = path;
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    const qsizetype slash = clean.lastIndexOf(QLatin1Char('/'));
    const QString name = clean.mid(slash + 1);
    const QByteArray encoded = QFile::encodeName(clean);
    // Names first: only a folder that may be a trash costs a look at the disk.
    if (name == QLatin1String("Trash") && sameFolder(encoded, homeTrash()))
        return true;
    return isTopTrashName(name) &&
           isTopFolder(QFile::encodeName(clean.left(std::max<qsizetype>(slash, 1))));
}

std::optional<QString> moveToTrash(const QString& path, QString& reason) {
    const QFileInfo about(path);
    // The folder's real path, links resolved: a table reached through a link to another file
    // system belongs to that file system's trash. The file itself is moved as it is.
    const QString realFolder = QFileInfo(about.absolutePath()).canonicalFilePath();
    if (realFolder.isEmpty()) {
        reason = QStringLiteral("its folder cannot be found");
        return std::nullopt;
    }
    const QByteArray folder = QFile::encodeName(realFolder);
    const QByteArray file =
        folder + (folder.endsWith('/') ? "" : "/") + QFile::encodeName(about.fileName());
    struct stat info {};
    if (::lstat(file.constData(), &info) != 0) {
        reason = systemReason(errno);
        return std::nullopt;
    }
    const std::vector<QByteArray> trashes = trashesFor(folder, info.st_dev);
    reason = QStringLiteral("no trash folder can be made on its file system");
    for (const QByteArray& trash : trashes) {
        if (const auto put = putInto(trash, file, QFile::encodeName(about.fileName())))
            return QFile::decodeName(*put);
        reason = systemReason(errno);
    }
    return std::nullopt;
}

}  // namespace Trash
