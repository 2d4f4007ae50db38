#include "FolderScan.h"

#include "DirectoryReader.h"

#include <QFile>
#include <QHash>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include <strings.h>
#include <stdexcept>

#include "FileChecks.h"
#include "runtime/ErrorTrap.h"
#include "runtime/EventPump.h"

namespace AddFolder {

namespace {

constexpr qsizetype kMaxPath = 260;

// Windows-1252's bytes 0x80 to 0x9F, by code point.
int windows1252Code(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    static constexpr char32_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c && c != 0)
            return 0x80 + i;
    return '?';
}

QByteArray withoutTrailingSeparator(const QString& path) {
    QString clean = path;
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    return QFile::encodeName(clean);
}

bool isRootFolder(const QString& path) {
    return !path.isEmpty() && path.count(QLatin1Char('/')) == path.size();
}

// What one look at a folder path tells: whether it exists as a folder, and whether the scan
// must leave it out. The Windows attributes 22 (hidden, system, folder) and 1046 (the same as a
// reparse point) stand here for a symbolic link to a folder: the scan never follows one, as
// links can form cycles.
enum class FolderKind { Missing, Scannable, Excluded };

FolderKind folderKind(const QString& path) {
    const QByteArray native = withoutTrailingSeparator(path);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        return FolderKind::Missing;
    if (S_ISDIR(info.st_mode))
        return FolderKind::Scannable;
    if (!S_ISLNK(info.st_mode) || !Main::FolderExists(path))
        return FolderKind::Missing;
    return isRootFolder(path) ? FolderKind::Scannable : FolderKind::Excluded;
}

// A listing failure of the kinds the scan skips quietly (permission denied, path not found).
struct QuietListingFailure {};

std::string cannotList(const QString& folder, int error) {
    return "The folder " + folder.toStdString() + " cannot be listed: " + std::strerror(error);
}

}  // namespace

bool HasUnusableChars(const QString& name) {
    for (char32_t c : name.toUcs4()) {
        const int code = windows1252Code(c);
        if (code == '?' || code < 32 || (code > 126 && code < 160))
            return true;
    }
    return false;
}

bool MatchesWildcard(const QString& name, const QString& pattern) {
    // Iterative matching with one backtrack point for the last "*".
    qsizetype n = 0, p = 0, starAt = -1, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == QLatin1Char('?') ||
                                   pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == QLatin1Char('*')) {
            starAt = p++;
            resumeAt = n;
        } else if (starAt >= 0) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == QLatin1Char('*'))
        ++p;
    return p == pattern.size();
}

namespace {

// A pattern of the form "*.ext" with a plain ASCII ending can be matched on the raw bytes of a
// name, before the name is decoded: most entries of a folder are then passed over at once.
std::optional<QByteArray> plainSuffixOf(const QString& pattern) {
    if (!pattern.startsWith(QLatin1Char('*')))
        return std::nullopt;
    const QString rest = pattern.mid(1);
    for (QChar c : rest)
        if (c == QLatin1Char('*') || c == QLatin1Char('?') || c.unicode() >= 0x80)
            return std::nullopt;
    return rest.toLatin1();
}

bool endsWithIgnoringAsciiCase(const char* name, const QByteArray& suffix) {
    const size_t length = std::strlen(name);
    const auto suffixLength = static_cast<size_t>(suffix.size());
    return length >= suffixLength &&
           ::strcasecmp(name + length - suffixLength, suffix.constData()) == 0;
}

}  // namespace

QStringList ListFiles(QString folder, const QString& pattern) {
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QStringList names;
    DirectoryReader dir(QFile::encodeName(folder).constData());
    const std::optional<QByteArray> suffix = plainSuffixOf(pattern);
    DirectoryReader::Entry entry{};
    while (dir.next(entry)) {
        if (entry.type == DT_DIR || (suffix && !endsWithIgnoringAsciiCase(entry.name, *suffix)))
            continue;
        const QString name = QFile::decodeName(entry.name);
        // A regular entry is an existing file; only links and unknown kinds need a look.
        if (MatchesWildcard(name, pattern) &&
            (entry.type == DT_REG || IsExistingFile(folder + name)))
            names << name;
    }
    // A folder that is not there holds no tables; any other failure is told.
    if (dir.error() != 0 && dir.error() != ENOENT && dir.error() != ENOTDIR)
        throw std::runtime_error(cannotList(folder, dir.error()));
    return names;
}

namespace {

// What the listing phase of the deeper call learnt of each folder it looked at: its merge-time
// check in the calling phase then needs no second look at the disk.
using FolderKinds = QHash<QString, FolderKind>;

void scanFolders(QStringList& folders, bool recurse, Dialogs& dialogs, FolderKinds& seen);

}  // namespace

void GetSubDirectories2016(QStringList& folders, bool recurse, Dialogs& dialogs) {
    FolderKinds seen;
    scanFolders(folders, recurse, dialogs, seen);
}

namespace {

void scanFolders(QStringList& folders, bool recurse, Dialogs& dialogs, FolderKinds& seen) {
    ErrorTrap trap(dialogs, nullptr, QStringLiteral("AddFolder.GetSubDirectories2016"),
                   QStringLiteral("Veltrane"));
    QStringList found;
    const QStringList given = folders;
    for (const QString& folder : given) {
        FolderKind kind = FolderKind::Missing;
        if (!trap.test(108, [&] { return (kind = folderKind(folder)) != FolderKind::Missing; }))
            continue;
        seen.insert(folder, kind);
        if (folder.size() >= kMaxPath)
            continue;
        LetEventsRun();
        if (kind == FolderKind::Excluded)
            continue;
        try {
            DirectoryReader dir(QFile::encodeName(folder).constData());
            const auto listingFailed = [&] {
                const int error = dir.error();
                if (error == EACCES || error == ENOENT || error == ENOTDIR)
                    throw QuietListingFailure{};
                throw std::runtime_error(cannotList(folder, error));
            };
            if (!dir.isOpen())
                listingFailed();
            DirectoryReader::Entry entry{};
            while (dir.next(entry)) {
                LetEventsRun();
                bool isFolder = entry.type == DT_DIR;
                if (entry.type == DT_LNK || entry.type == DT_UNKNOWN) {
                    struct stat info {};
                    isFolder =
                        ::fstatat(dir.fd(), entry.name, &info, 0) == 0 && S_ISDIR(info.st_mode);
                }
                if (!isFolder)
                    continue;
                const QString name = QFile::decodeName(entry.name);
                if (name.size() >= kMaxPath || HasUnusableChars(name) ||
                    name.contains(QLatin1Char('?')) || name == QLatin1String(".") ||
                    name == QLatin1String(".."))
                    continue;
                found << folder + name + QLatin1Char('/');
            }
            if (dir.error() != 0)
                listingFailed();
        } catch (const QuietListingFailure&) {
            folders.removeOne(folder);
        } catch (const std::exception&) {
            // Any other listing failure ends this folder's listing, without a message; what
            // was found before it stays.
        }
    }
    // The deeper calls have merged, and so checked, the folders they append after these.
    const qsizetype listedHere = found.size();
    if (recurse && !found.isEmpty())
        trap.step(150, [&] { scanFolders(found, true, dialogs, seen); });
    for (qsizetype i = 0; i < found.size(); ++i) {
        if (i >= listedHere) {
            folders << found[i];
            continue;
        }
        const auto known = seen.constFind(found[i]);
        const FolderKind kind = known != seen.constEnd() ? *known : folderKind(found[i]);
        if (kind == FolderKind::Missing)
            continue;
        LetEventsRun();
        if (kind == FolderKind::Scannable)
            folders << found[i];
    }
}

}  // namespace

}  // namespace AddFolder
