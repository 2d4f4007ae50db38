#include "ParadoxModule.h"

#include <QDir>

#include "FileChecks.h"
#include "FolderScan.h"
#include "ado/ConnectionString.h"

namespace Paradox {

QString ParadoxConnectionString(const QString& folder) {
    const QString value = ado::ConnectionString::quoted(folder);
    return QStringLiteral(
               "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox "
               "5.X;DefaultDir=") +
           value + QStringLiteral(";Dbq=") + value + QStringLiteral(";CollatingSequence=ASCII;");
}

bool ParadoxFolderHasTables(const QString& folder) {
    if (folder.isEmpty())
        return false;
    return !AddFolder::ListFiles(folder, QStringLiteral("*.db")).isEmpty();
}

QString TableNameOf(const QString& fileName) {
    return fileName.toUpper().remove(QStringLiteral(".DB"));
}

void ListParadoxTables(const QString& folder, Dialogs& dialogs,
                       const std::function<void(const TableEntry&)>& found,
                       const AddFolder::SkippedFolder& skipped) {
    if (folder.isEmpty())
        return;
    const QString root = folder + QLatin1Char('/');
    QStringList folders{root};
    AddFolder::GetSubDirectories2016(folders, true, dialogs, skipped);
    // The scan drops a folder it may not read; the chosen folder is listed all the same, so
    // that the reason it cannot be read is told.
    if (folders.isEmpty() || folders.first() != root)
        folders.prepend(root);
    for (QString entry : folders) {
        entry.chop(1);
        for (const QString& name : AddFolder::ListFiles(entry, QStringLiteral("*.db"))) {
            if (name.startsWith(QLatin1Char('~')))
                continue;
            const QString path = entry + QLatin1Char('/') + name;
            found({TableNameOf(Main::FileNameFromPath(path)), QDir::cleanPath(path)});
        }
    }
}

QStringList LockFilesIn(const QString& folder) {
    QStringList found;
    const QStringList entries = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System,
                                                       QDir::Name | QDir::IgnoreCase);
    for (const QString& name : entries) {
        const QString upper = name.toUpper();
        // PARADOX.LCK, PDOXUSRS.LCK and each open table's own end alike.
        if (upper.endsWith(QStringLiteral(".LCK")) || upper == QStringLiteral("PDOXUSRS.NET"))
            found << name;
    }
    return found;
}

}  // namespace Paradox
