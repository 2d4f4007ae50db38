#include "ParadoxTables.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "data/FileChecks.h"
#include "data/FileOperations.h"
#include "data/Trash.h"
#include "paradox/TableFiles.h"
#include "runtime/Dialogs.h"
#include "runtime/ErrorTrap.h"

namespace ParadoxTables {

namespace {

// The file cannot be removed: reported like any failing step, so that the entry stays.
class UndeletableFile : public std::runtime_error {
  public:
    UndeletableFile(const QString& path, const QString& reason)
        : std::runtime_error("The table file " + path.toStdString() +
                             " could not be deleted: " + reason.toStdString()) {}
};

// The files of a Paradox table, each with its new name beside it: the data file first, then its
// companions, each keeping the spelling of its own extension.
using FileMoves = std::vector<std::pair<QString, QString>>;

FileMoves tableFileMoves(const QString& dataFile, const QStringList& companions,
                         const QString& newName) {
    const QFileInfo data(dataFile);
    const QString folder = data.path() + QLatin1Char('/');
    FileMoves moves{{dataFile, folder + newName + QLatin1Char('.') + data.suffix()}};
    for (const QString& name : companions)
        moves.emplace_back(folder + name,
                           folder + newName + QLatin1Char('.') + QFileInfo(name).suffix());
    return moves;
}

QStringList tableFilesOf(const QString& folder, const QString& baseName) {
    QStringList names;
    for (const std::string& name : px::tableFilesOf(QFile::encodeName(folder).toStdString(),
                                                    QFile::encodeName(baseName).toStdString()))
        names << QFile::decodeName(QByteArray::fromStdString(name));
    return names;
}

bool isDataFileName(const QString& name) {
    return QFileInfo(name).suffix().compare(QStringLiteral("db"), Qt::CaseInsensitive) == 0;
}

// Why the table's files cannot move to the new name, or "" when they can: a second data file
// in the table's family (it shares the companions), or a file of the new name's family that is
// none of the moved ones (a table, or a companion left behind by a deleted one).
QString renameObstacle(const QString& dataFile, const QStringList& family, const QString& newName) {
    const QFileInfo data(dataFile);
    const QString folder = data.path() + QLatin1Char('/');
    for (const QString& name : family)
        if (isDataFileName(name) && QFileInfo(folder + name) != data)
            return QStringLiteral("its files are shared with the table file ") + folder + name;
    for (const QString& name : tableFilesOf(data.path(), newName))
        if (!family.contains(name))
            return QStringLiteral("the file ") + folder + name + QStringLiteral(" already exists");
    return {};
}

// Why a name cannot become a table file's name, or "" when it can.
QString unusableFileName(const QString& name) {
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("a table name cannot hold a path separator");
    if (name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QChar(0)))
        return QStringLiteral("it is no valid file name");
    if (QFile::encodeName(name).size() > 250)
        return QStringLiteral("it is too long for a file name");
    return {};
}

// To the trash, from where the user can bring it back; deleted where no trash can take it.
// The reason it is still there, or "" when it is gone.
QString discard(const QString& path) {
    QString reason;
    if (Trash::moveToTrash(path, reason) || !Main::FileExists(path))
        return {};
    reason = Main::DeleteFileForced(path);
    return Main::FileExists(path) ? reason : QString();
}

}  // namespace

bool remove(ErrorTrap& trap, const TableEntry& table) {
    if (!Main::FileExists(table.file))
        return false;
    return trap.step(110, [&] {
        if (const QString reason = discard(table.file); !reason.isEmpty())
            throw UndeletableFile(table.file, reason);
        // The companions follow the data file, so that a later table of this name never takes
        // the old memo or index files for its own; unless a data file of the same name in
        // another letter case still shares them.
        const QFileInfo dataFile(table.file);
        const QStringList family = tableFilesOf(dataFile.path(), dataFile.completeBaseName());
        if (std::none_of(family.begin(), family.end(), isDataFileName))
            for (const QString& name : family)
                discard(dataFile.path() + QLatin1Char('/') + name);
    });
}

std::optional<QString> rename(Dialogs& dialogs, QWidget* owner, const TableEntry& table,
                              const QString& newName) {
    const QString refusal = unusableFileName(newName);
    if (!refusal.isEmpty()) {
        dialogs.message(owner, QStringLiteral("The table cannot be renamed to \"") + newName +
                                   QStringLiteral("\": ") + refusal + '.');
        return std::nullopt;
    }
    if (!Main::FileExists(table.file))
        return std::nullopt;
    const QFileInfo dataFile(table.file);
    const QStringList family = tableFilesOf(dataFile.path(), dataFile.completeBaseName());
    // An existing table of the new name stays intact, and so do files a deleted table left
    // behind: the rename is refused. Table names ignore letter case.
    const QString obstacle = renameObstacle(table.file, family, newName);
    if (!obstacle.isEmpty()) {
        dialogs.message(owner, QStringLiteral("The table cannot be renamed to \"") + newName +
                                   QStringLiteral("\": ") + obstacle +
                                   QStringLiteral(". Please choose another name."));
        return std::nullopt;
    }
    QStringList companions = family;
    companions.removeIf([](const QString& name) { return isDataFileName(name); });
    const FileMoves moves = tableFileMoves(table.file, companions, newName);
    if (!Main::RenameFile(moves, dialogs, owner))
        return std::nullopt;
    return moves.front().second;
}

}  // namespace ParadoxTables
