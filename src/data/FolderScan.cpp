#include "FolderScan.h"

#include "DirectoryReader.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringEncoder>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include <strings.h>
#include <stdexcept>

#include "FileChecks.h"
#include "Trash.h"
#include "runtime/ErrorTrap.h"
#include "runtime/EventPump.h"

namespace AddFolder {

namespace {

constexpr qsizetype kMaxPath = 260;

QByteArray withoutTrailingSeparator(const QString& path) {
    QString clean = path;
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    return QFile::encodeName(clean);
}

// A real folder, whatever the path that reached it.
struct FolderId {
    dev_t device;
    ino_t inode;
    bool operator==(const FolderId&) const = default;
};

size_t qHash(const FolderId& id, size_t seed = 0) {
    return qHashMulti(seed, id.device, id.inode);
}

// What one look at a folder path tells. Symbolic links to folders are followed like folders (a
// data folder often is one); a folder already reached by another path is left out, so that no
// link makes a cycle and no table is listed twice.
enum class FolderKind { Missing, Scannable, Repeated };

struct ScanState {
    QHash<QString, FolderKind> kinds;  // of each folder a listing phase looked at
    QSet<FolderId> visited;
};

FolderKind folderKind(const QString& path, ScanState& state) {
    struct stat info {};
    if (::stat(withoutTrailingSeparator(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return FolderKind::Missing;
    const FolderId id{info.st_dev, info.st_ino};
    if (state.visited.contains(id))
        return FolderKind::Repeated;
    state.visited.insert(id);
    return FolderKind::Scannable;
}

// A listing failure of the kinds the scan skips quietly (permission denied, path not found).
struct QuietListingFailure {
    int error;
};

std::string cannotList(const QString& folder, int error) {
    return "The folder " + folder.toStdString() + " cannot be listed: " + std::strerror(error);
}

}  // namespace

bool HasUnusableChars(const QString& name) {
    // Every character the system's encoding represents is usable, but for control characters
    // and the "?" that stands for one it could not. Every encoding represents ASCII.
    bool ascii = true;
    for (QChar c : name) {
        if (c.category() == QChar::Other_Control || c == QLatin1Char('?'))
            return true;
        ascii = ascii && c.unicode() < 0x80;
    }
    if (ascii)
        return false;
    QStringEncoder toSystem(QStringConverter::System);
    [[maybe_unused]] const QByteArray encoded = toSystem(name);
    return toSystem.hasError();
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

void scanFolders(QStringList& folders, bool recurse, Dialogs& dialogs, ScanState& state,
                 const SkippedFolder& skipped);

}  // namespace

void GetSubDirectories2016(QStringList& folders, bool recurse, Dialogs& dialogs,
                           const SkippedFolder& skipped) {
    ScanState state;
    scanFolders(folders, recurse, dialogs, state, skipped);
}

namespace {

void scanFolders(QStringList& folders, bool recurse, Dialogs& dialogs, ScanState& state,
                 const SkippedFolder& skipped) {
    ErrorTrap trap(dialogs, nullptr, QStringLiteral("AddFolder.GetSubDirectories2016"),
                   QStringLiteral("Veltrane"));
    QStringList found;
    const QStringList given = folders;
    for (const QString& folder : given) {
        FolderKind kind = FolderKind::Missing;
        if (!trap.test(108,
                       [&] { return (kind = folderKind(folder, state)) != FolderKind::Missing; }))
            continue;
        state.kinds.insert(folder, kind);
        if (folder.size() >= kMaxPath)
            continue;
        LetEventsRun();
        if (kind == FolderKind::Repeated)
            continue;
        try {
            DirectoryReader dir(QFile::encodeName(folder).constData());
            const auto listingFailed = [&] {
                const int error = dir.error();
                if (error == EACCES || error == ENOENT || error == ENOTDIR)
                    throw QuietListingFailure{error};
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
                    name == QLatin1String("..") || Trash::isTrashFolder(folder + name))
                    continue;
                found << folder + name + QLatin1Char('/');
            }
            if (dir.error() != 0)
                listingFailed();
        } catch (const QuietListingFailure& failure) {
            folders.removeOne(folder);
            if (skipped)
                skipped(folder, QString::fromLocal8Bit(std::strerror(failure.error)));
        } catch (const std::exception& failure) {
            // Any other listing failure ends this folder's listing, without a message; what
            // was found before it stays.
            if (skipped)
                skipped(folder, QString::fromLocal8Bit(failure.what()));
        }
    }
    // The deeper calls have merged, and so checked, the folders they append after these.
    const qsizetype listedHere = found.size();
    if (recurse && !found.isEmpty())
        trap.step(150, [&] { scanFolders(found, true, dialogs, state, skipped); });
    for (qsizetype i = 0; i < found.size(); ++i) {
        if (i >= listedHere) {
            folders << found[i];
            continue;
        }
        const auto known = state.kinds.constFind(found[i]);
        const FolderKind kind =
            known != state.kinds.constEnd() ? *known : folderKind(found[i], state);
        if (kind != FolderKind::Scannable)
            continue;
        LetEventsRun();
        folders << found[i];
    }
}

}  // namespace

}  // namespace AddFolder
