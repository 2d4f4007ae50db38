// "Rename Table" on both sides: one selected table per click, its new name asked in an input box.
#include <QDir>
#include <QFileInfo>

#include "ado/Connection.h"
#include "app/ErrorTrap.h"
#include "app/FileOperations.h"
#include "app/Form1.h"
#include "app/MainModule.h"
#include "app/Runtime.h"
#include "data/Datatype.h"
#include "data/SybaseModule.h"
#include "paradox/File.h"
#include "tables/Form2.h"
#include "ui/Dialogs.h"
#include "ui/TableList.h"

namespace {

// Whether the list has exactly one chosen entry; tells the user what is missing when not.
bool oneTableChosen(TableList& list, ErrorTrap& trap, Dialogs& dialogs, QWidget* owner) {
    if (trap.test(106, [&] { return list.listIndex() == -1; })) {
        trap.step(132, [&] {
            dialogs.message(owner, QStringLiteral("Please select a table to rename."));
        });
        return false;
    }
    if (trap.test(108, [&] { return list.selectedCount() != 1; })) {
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

// The files of a Paradox table: the data file and its companions of the same base name (blob,
// index and validity files), each with its new name beside it.
std::vector<std::pair<QString, QString>> tableFileMoves(const QString& dataFile,
                                                        const QString& newName) {
    const QFileInfo data(dataFile);
    const QString base = data.completeBaseName();
    std::vector<std::pair<QString, QString>> moves;
    moves.emplace_back(dataFile,
                       data.path() + QLatin1Char('/') + newName + QLatin1Char('.') + data.suffix());
    const QStringList companions =
        QDir(data.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : companions) {
        const QFileInfo companion(data.path() + QLatin1Char('/') + name);
        if (companion.completeBaseName() == base && name != data.fileName() &&
            companion.suffix().compare(QStringLiteral("db"), Qt::CaseInsensitive) != 0)
            moves.emplace_back(companion.filePath(), data.path() + QLatin1Char('/') + newName +
                                                         QLatin1Char('.') + companion.suffix());
    }
    return moves;
}

// Whether a destination, in any letter case, is a file other than the one moved to it.
bool nameIsTaken(const std::vector<std::pair<QString, QString>>& moves) {
    for (const auto& [source, destination] : moves) {
        const QFileInfo target(destination);
        const auto found = px::findIgnoringCase(QFile::encodeName(target.path()).toStdString(),
                                                QFile::encodeName(target.fileName()).toStdString());
        if (!found)
            continue;
        const QFileInfo existing(QFile::decodeName(QByteArray::fromStdString(*found)));
        bool isOneOfTheSources = false;
        for (const auto& move : moves)
            isOneOfTheSources = isOneOfTheSources || existing == QFileInfo(move.first);
        if (!isOneOfTheSources)
            return true;
    }
    return false;
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
    if (oneTableChosen(*List1, trap, runtime_.dialogs, this) && connected) {
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
    if (oneTableChosen(*List2, trap, runtime_.dialogs, this)) {
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
            const auto moves = tableFileMoves(file, newName);
            // An existing table of the new name stays intact: the rename is refused. Table names
            // ignore letter case, so a file that differs only in case counts as taken.
            if (nameIsTaken(moves)) {
                runtime_.dialogs.message(this, QStringLiteral("A table named \"") + newName +
                                                   QStringLiteral("\" already exists in ") +
                                                   QFileInfo(file).path() +
                                                   QStringLiteral(". Please choose another name."));
                continue;
            }
            // The entry is replaced only when the files were renamed.
            if (Main::RenameFile(moves, runtime_.dialogs, this))
                trap.step(122, [&] { replaceEntry(*List2, i, newName, moves.front().second); });
        }
    }
    trap.step(134, [&] { MousePointer.set(ScreenPointer::Default); });
}
