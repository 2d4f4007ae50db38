// "Rename Table" on both sides: one selected table per click, its new name asked in an input box.
#include <QFileInfo>

#include "ado/Connection.h"
#include "app/ErrorTrap.h"
#include "app/FileOperations.h"
#include "app/Form1.h"
#include "app/MainModule.h"
#include "app/Runtime.h"
#include "data/Datatype.h"
#include "data/SybaseModule.h"
#include "paradox/TableFiles.h"
#include "tables/Form2.h"
#include "ui/Dialogs.h"
#include "ui/TableList.h"

namespace {

// Whether the list has exactly one chosen entry; tells the user what is missing when not. The
// two checks carry the lines `firstLine` and the one after it.
bool oneTableChosen(TableList& list, ErrorTrap& trap, Dialogs& dialogs, QWidget* owner,
                    int firstLine) {
    if (trap.test(firstLine, [&] { return list.listIndex() == -1; })) {
        trap.step(132, [&] {
            dialogs.message(owner, QStringLiteral("Please select a table to rename."));
        });
        return false;
    }
    if (trap.test(firstLine + 2, [&] { return list.selectedCount() != 1; })) {
        trap.step(130, [&] {
            dialogs.message(owner, QStringLiteral("Please select just one table to rename."));
        });
        return false;
    }
    return true;
}

QString askNewName(Dialogs& dialogs, QWidget* owner, const QString& oldName) {
    return dialogs.input(owner, QStringLiteral("Enter new name of ") + oldName + QLatin1Char(':'),
                         oldName);
}

void replaceEntry(TableList& list, int index, const QString& newName, const QString& data = {}) {
    list.removeEntry(index);
    list.addEntry(newName, data);
    if (list.count() > 0)
        list.setListIndex(0);
}

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

// Why the table's files cannot move to the new name, or "" when they can: a file of the new
// name's table that is none of the moved ones (a table, or a companion left behind by a deleted
// one), or a second data file that shares the table's companions.
QString renameObstacle(const QString& dataFile, const QStringList& companions,
                       const QString& newName) {
    const QFileInfo data(dataFile);
    const QString folder = data.path() + QLatin1Char('/');
    const auto isMoved = [&](const QFileInfo& file) {
        if (file == data)
            return true;
        for (const QString& companion : companions)
            if (file == QFileInfo(folder + companion))
                return true;
        return false;
    };
    for (const QString& name : tableFilesOf(data.path(), data.completeBaseName()))
        if (isDataFileName(name) && QFileInfo(folder + name) != data)
            return QStringLiteral("its files are shared with the table file ") + folder + name;
    for (const QString& name : tableFilesOf(data.path(), newName))
        if (!isMoved(QFileInfo(folder + name)))
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

}  // namespace

void Form2::PushButton6_Click() {
    OperationScope operation(*this);
    if (!operation.started())
        return;
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.PushButton6_Click"));
    ado::Connection connection;
    trap.step(102, [&] { MousePointer.set(ScreenPointer::Hourglass); });
    const bool connected = trap.step(
        104, [&] { connection.Open(Sybase::DsnConnectionString(form1_.dataSourceName())); });
    // Without a connection the statement would fail too: the one report above says why.
    if (oneTableChosen(*List1, trap, runtime_.dialogs, this, 106) && connected) {
        for (int i = List1->count() - 1; i >= 0; --i) {
            if (!trap.test(112, [&] { return List1->isEntrySelected(i); }))
                continue;
            const QString oldName = List1->entryText(i);
            QString newName;
            trap.step(116, [&] { newName = askNewName(runtime_.dialogs, this, oldName); });
            if (newName.isEmpty())
                continue;
            // The entry is replaced only when the database renamed the table.
            if (trap.step(120, [&] {
                    connection.Execute(QStringLiteral("ALTER TABLE ") +
                                       Datatype::QuotedName(oldName) +
                                       QStringLiteral(" RENAME TO ") +
                                       Datatype::QuotedName(newName) + QLatin1Char(';'));
                }))
                trap.step(122, [&] { replaceEntry(*List1, i, newName); });
        }
    }
    trap.step(134, [&] { MousePointer.set(ScreenPointer::Default); });
}

void Form2::PushButton7_Click() {
    OperationScope operation(*this);
    if (!operation.started())
        return;
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.PushButton7_Click"));
    trap.step(100, [&] { MousePointer.set(ScreenPointer::Hourglass); });
    if (oneTableChosen(*List2, trap, runtime_.dialogs, this, 102)) {
        for (int i = List2->count() - 1; i >= 0; --i) {
            if (!trap.test(108, [&] { return List2->isEntrySelected(i); }))
                continue;
            const QString oldName = List2->entryText(i);
            QString newName;
            trap.step(112, [&] { newName = askNewName(runtime_.dialogs, this, oldName); });
            if (newName.isEmpty())
                continue;
            const QString refusal = unusableFileName(newName);
            if (!refusal.isEmpty()) {
                runtime_.dialogs.message(this, QStringLiteral("The table cannot be renamed to \"") +
                                                   newName + QStringLiteral("\": ") + refusal +
                                                   '.');
                continue;
            }
            const QString file = List2->entryData(i);
            if (!Main::FileExists(file))
                continue;
            const QFileInfo dataFile(file);
            QStringList companions = tableFilesOf(dataFile.path(), dataFile.completeBaseName());
            companions.removeIf([](const QString& name) { return isDataFileName(name); });
            // An existing table of the new name stays intact, and so do files a deleted table
            // left behind: the rename is refused. Table names ignore letter case.
            const QString obstacle = renameObstacle(file, companions, newName);
            if (!obstacle.isEmpty()) {
                runtime_.dialogs.message(this, QStringLiteral("The table cannot be renamed to \"") +
                                                   newName + QStringLiteral("\": ") + obstacle +
                                                   QStringLiteral(". Please choose another name."));
                continue;
            }
            const FileMoves moves = tableFileMoves(file, companions, newName);
            // The entry is replaced only when the files were renamed.
            if (Main::RenameFile(moves, runtime_.dialogs, this))
                trap.step(122, [&] { replaceEntry(*List2, i, newName, moves.front().second); });
        }
    }
    trap.step(134, [&] { MousePointer.set(ScreenPointer::Default); });
}
