// Discovery of Paradox tables over generated folder trees.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <filesystem>

#include "data/FolderScan.h"
#include "data/ParadoxModule.h"
#include "fixture/ParadoxWriter.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"
#include "ui/TableList.h"

namespace fs = std::filesystem;

namespace {

void touch(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    writeWholeFile(path, "x");
}

struct Listing {
    QStringList names;
    QStringList files;
};

Listing listTables(const QString& folder, ScriptedDialogs& dialogs) {
    TableList list("List2", nullptr);
    Paradox::ListParadoxTables(
        folder, dialogs, [&](const TableEntry& table) { list.addEntry(table.name, table.file); });
    Listing listing;
    for (int i = 0; i < list.count(); ++i) {
        listing.names << list.entryText(i);
        listing.files << list.entryData(i);
    }
    return listing;
}

QString relative(const TempDir& dir, const QString& path) {
    return QDir(QString::fromStdString(dir.path())).relativeFilePath(path);
}

}  // namespace

TEST(Discovery, NamesFromEveryFolderOfTheTree) {
    TempDir dir;
    for (const char* file :
         {"orders.db", "sub/Orders.DB", "~temp.db", "x~.db", "my.db.db", "a.dbase.db", ".hidden.db",
          "notes.txt", "sub/deeper/last.Db", ".dotfolder/inside.db"})
        touch(dir.file(file));
    fs::create_directories(dir.file("x.db"));  // a folder is no table
    ScriptedDialogs dialogs;
    const Listing listing = listTables(QString::fromStdString(dir.path()), dialogs);
    EXPECT_EQ(listing.names,
              (QStringList{".HIDDEN", "AASE", "INSIDE", "LAST", "MY", "ORDERS", "ORDERS", "X~"}));
    // Each entry keeps its own file, so two ORDERS tables stay two tables.
    QStringList files;
    for (const QString& file : listing.files)
        files << relative(dir, file);
    files.sort();
    EXPECT_EQ(files, (QStringList{".dotfolder/inside.db", ".hidden.db", "a.dbase.db", "my.db.db",
                                  "orders.db", "sub/Orders.DB", "sub/deeper/last.Db", "x~.db"}));
    EXPECT_TRUE(dialogs.calls().empty());
}

TEST(Discovery, TrailingSeparatorAndMissingOrEmptyFolders) {
    TempDir dir;
    touch(dir.file("one.db"));
    ScriptedDialogs dialogs;
    EXPECT_EQ(listTables(QString::fromStdString(dir.path()) + "/", dialogs).names,
              QStringList{"ONE"});
    EXPECT_TRUE(listTables("", dialogs).names.isEmpty());
    EXPECT_TRUE(listTables(QString::fromStdString(dir.file("missing")), dialogs).names.isEmpty());
    EXPECT_TRUE(dialogs.calls().empty());
}

// A chosen folder that is a link is scanned; links below it are followed like folders, and each
// real folder is visited once: no cycle, no table twice.
TEST(Discovery, SymbolicLinksAreFollowedAndEachRealFolderVisitedOnce) {
    TempDir dir;
    touch(dir.file("a/inner.db"));
    touch(dir.file("a/sub/deep.db"));
    touch(dir.file("elsewhere/outside.db"));
    fs::create_directory_symlink(dir.file("a"), dir.file("a/sub/loop"));
    fs::create_directory_symlink(dir.file("a/sub"), dir.file("a/again"));
    fs::create_directory_symlink(dir.file("elsewhere"), dir.file("a/link"));
    fs::create_directory_symlink(dir.file("a"), dir.file("chosen"));
    ScriptedDialogs dialogs;
    const Listing listing = listTables(QString::fromStdString(dir.file("chosen")), dialogs);
    EXPECT_EQ(listing.names, (QStringList{"DEEP", "INNER", "OUTSIDE"}));
    EXPECT_TRUE(dialogs.calls().empty());
}

// What lies in a trash was deleted: the home trash under the chosen folder and a `.Trash-UID`
// or `.Trash` at a file system's top are never entered, though folders of those names elsewhere
// are ordinary folders.
TEST(Discovery, TrashFoldersAreNotEntered) {
    TempDir dir;
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.file(".local/share").c_str());
    touch(dir.file(".local/share/Trash/files/deleted.db"));
    touch(dir.file(".local/share/kept.db"));
    touch(dir.file("deep/Trash/files/ordinary.db"));
    touch(dir.file("deep/.Trash-0/files/notatop.db"));
    ScriptedDialogs dialogs;
    const Listing home = listTables(QString::fromStdString(dir.path()), dialogs);
    qputenv("XDG_DATA_HOME", saved);
    EXPECT_EQ(home.names, (QStringList{"KEPT", "NOTATOP", "ORDINARY"}));

    // /dev/shm is the top of a file system of its own.
    const QString shm = "/dev/shm/morvane-scan-" + QString::number(::getpid());
    const QString trash =
        "/dev/shm/.Trash-" + QString::number(::getuid()) + "/files/" + QString::number(::getpid());
    const QString sharedTrash = "/dev/shm/.Trash/" + QString::number(::getpid());
    if (::access("/dev/shm", W_OK) != 0)
        return;
    const bool sharedTrashWasThere = QFileInfo::exists("/dev/shm/.Trash");
    touch((shm + "/kept" + QString::number(::getpid()) + ".db").toStdString());
    touch((trash + "/gone.db").toStdString());
    touch((sharedTrash + "/gone.db").toStdString());
    const Listing top = listTables("/dev/shm", dialogs);
    QDir(shm).removeRecursively();
    QDir(trash).removeRecursively();
    QDir(sharedTrash).removeRecursively();
    if (!sharedTrashWasThere)
        QDir("/dev/shm/.Trash").rmdir(".");
    EXPECT_TRUE(top.names.contains("KEPT" + QString::number(::getpid())));
    EXPECT_FALSE(top.names.contains("GONE"));
}

TEST(Discovery, FoldersNamedInAnyScriptAreScannedControlCharactersAreNot) {
    TempDir dir;
    touch(dir.file("ok/good.db"));
    touch(dir.file("bad\x01name/hidden.db"));
    touch(dir.file("what?/asked.db"));
    touch(
        dir.file("\xe2\x82\xac"
                 "uro/euro.db"));
    touch(dir.file("Клиенты/cyrillic.db"));
    touch(dir.file("Zákazníci/Čísla 2019/czech.db"));
    touch(dir.file("日本/japan.db"));
    std::string deep = dir.file("");
    while (deep.size() < 262)
        deep += "d123456789/";
    touch(deep + "atdepth.db");
    touch(deep + "below/toodeep.db");
    ScriptedDialogs dialogs;
    const Listing listing = listTables(QString::fromStdString(dir.path()), dialogs);
    for (const char* name : {"GOOD", "EURO", "CYRILLIC", "CZECH", "JAPAN"})
        EXPECT_TRUE(listing.names.contains(name)) << name;
    EXPECT_FALSE(listing.names.contains("HIDDEN"));
    EXPECT_FALSE(listing.names.contains("ASKED"));
    // The folder of 260 characters or more is listed but not scanned for subfolders.
    EXPECT_TRUE(listing.names.contains("ATDEPTH"));
    EXPECT_FALSE(listing.names.contains("TOODEEP"));
}

// Subfolders that cannot be read are passed over quietly; the chosen folder itself is the
// user's choice, and why it cannot be read goes up to the caller, to be told.
TEST(Discovery, UnreadableSubfoldersAreSkippedQuietlyTheChosenFolderIsNot) {
    TempDir dir;
    touch(dir.file("open/visible.db"));
    touch(dir.file("closed1/secret.db"));
    touch(dir.file("closed2/secret.db"));
    touch(dir.file("open/after.db"));
    fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
    for (const char* folder : {"closed1", "closed2"})
        fs::permissions(dir.file(folder), fs::perms::none);
    fs::permissions(fs::path(dir.path()).parent_path(), fs::perms::others_exec,
                    fs::perm_options::add);
    const std::string result = runUnprivileged([&] {
        ScriptedDialogs dialogs;
        const Listing listing = listTables(QString::fromStdString(dir.path()), dialogs);
        return (listing.names.join(",") + "|" + QString::number(dialogs.calls().size()))
            .toStdString();
    });
    EXPECT_EQ(result, "AFTER,VISIBLE|0");

    const std::string chosenClosed = runUnprivileged([&] {
        ScriptedDialogs dialogs;
        try {
            listTables(QString::fromStdString(dir.file("closed1")), dialogs);
        } catch (const std::exception& failure) {
            return std::string(failure.what());
        }
        return std::string("listed");
    });
    EXPECT_EQ(chosenClosed,
              "The folder " + dir.file("closed1") + "/ cannot be listed: Permission denied");
}

TEST(FolderScan, BreadthFirstOrder) {
    TempDir dir;
    for (const char* folder : {"a/a1/a11", "b/b1"})
        fs::create_directories(dir.file(folder));
    ScriptedDialogs dialogs;
    QStringList folders{QString::fromStdString(dir.path()) + "/"};
    AddFolder::GetSubDirectories2016(folders, true, dialogs);
    QStringList relativeFolders;
    for (const QString& folder : folders)
        relativeFolders << relative(dir, folder);
    ASSERT_EQ(relativeFolders.size(), 6);
    EXPECT_EQ(relativeFolders[0], ".");
    EXPECT_EQ(QSet<QString>(relativeFolders.begin() + 1, relativeFolders.begin() + 3),
              (QSet<QString>{"a", "b"}));
    EXPECT_EQ(QSet<QString>(relativeFolders.begin() + 3, relativeFolders.begin() + 5),
              (QSet<QString>{"a/a1", "b/b1"}));
    EXPECT_EQ(relativeFolders[5], "a/a1/a11");
    for (const QString& folder : folders)
        EXPECT_TRUE(folder.endsWith("/"));
}

TEST(FolderScan, UsableCharactersAndWildcards) {
    EXPECT_FALSE(AddFolder::HasUnusableChars("Plain name (2024) ~ & ÿ"));
    EXPECT_TRUE(AddFolder::HasUnusableChars("tab\there"));
    EXPECT_TRUE(AddFolder::HasUnusableChars("what?"));
    EXPECT_TRUE(AddFolder::HasUnusableChars(QString::fromUtf8("C1 control \xc2\x85")));
    EXPECT_FALSE(AddFolder::HasUnusableChars("euro€ Ωmega Čísla"));
    EXPECT_FALSE(AddFolder::HasUnusableChars(QString::fromUtf8("smile\xf0\x9f\x99\x82")));
    EXPECT_TRUE(AddFolder::MatchesWildcard("ORDERS.DB", "*.db"));
    EXPECT_TRUE(AddFolder::MatchesWildcard("my.db.db", "*.db"));
    EXPECT_TRUE(AddFolder::MatchesWildcard(".db", "*.db"));
    EXPECT_FALSE(AddFolder::MatchesWildcard("orders.dbf", "*.db"));
    EXPECT_FALSE(AddFolder::MatchesWildcard("ordersdb", "*.db"));
    EXPECT_TRUE(AddFolder::MatchesWildcard("a1.db", "a?.db"));
}

TEST(ParadoxFolderHasTables, OnlyTheFolderItselfCounts) {
    TempDir dir;
    EXPECT_FALSE(Paradox::ParadoxFolderHasTables(""));
    EXPECT_FALSE(Paradox::ParadoxFolderHasTables(QString::fromStdString(dir.path())));
    touch(dir.file("sub/deep.db"));
    EXPECT_FALSE(Paradox::ParadoxFolderHasTables(QString::fromStdString(dir.path())));
    touch(dir.file(".Hidden.DB"));
    EXPECT_TRUE(Paradox::ParadoxFolderHasTables(QString::fromStdString(dir.path())));
    EXPECT_TRUE(Paradox::ParadoxFolderHasTables(QString::fromStdString(dir.path()) + "/"));
    EXPECT_FALSE(Paradox::ParadoxFolderHasTables(QString::fromStdString(dir.file("missing"))));
}
