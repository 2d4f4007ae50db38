// Deleting and renaming tables on both sides.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ado/Connection.h"
#include "paradox/Table.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TablesScreen.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using px::FieldType;
using px::Value;

namespace {

const std::vector<px::Field> kFields = {{"ID", FieldType::Long, 4, 0},
                                        {"NOTE", FieldType::Memo, 11, 0}};

QStringList targetTables(const QString& dsn) {
    return tablesOf(dsn);
}

class Operations : public ::testing::Test {
  protected:
    Operations() : screen(TestDatabases::newSqliteDsn()) {}
    void paradoxTables(std::initializer_list<const char*> files) {
        for (const char* file : files)
            screen.writeParadoxTable(file, kFields,
                                     {{Value::integer(1), Value::text(std::string(300, 'n'))}});
        screen.reload();
    }
    QStringList messages() const { return screen.test.dialogs.texts("message"); }
    QStringList errors() const { return screen.test.dialogs.texts("error"); }
    TableList& list1() { return *screen.form2().List1; }
    TableList& list2() { return *screen.form2().List2; }

    TablesScreen screen;
};

}  // namespace

TEST_F(Operations, TargetDeletionDropsTheSelectedTablesOnly) {
    for (const char* name : {"Alpha", "Beta", "Gamma"})
        TestDatabases::execute(screen.dsn, QString("CREATE TABLE \"%1\"(\"a\" TEXT);").arg(name));
    screen.reload();
    screen.form2().PushButton1_Click();
    EXPECT_EQ(messages(), QStringList{"Please select a table"});
    TablesScreen::select(list1(), {"Alpha", "Beta"});
    list1().addEntry("Ghost");  // listed, but already gone from the database
    list1().setEntrySelected(list1().count() - 1, true);
    screen.form2().PushButton1_Click();
    EXPECT_EQ(targetTables(screen.dsn), QStringList{"Gamma"});
    EXPECT_EQ(TablesScreen::entries(list1()), (QStringList{"Gamma", "Ghost"}));
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].contains("Form2.PushButton1_Click at line 112"));
}

TEST_F(Operations, TargetDeletionWithoutAConnectionIsReportedOnce) {
    TestDatabases::execute(screen.dsn, R"(CREATE TABLE "Alpha"("a" TEXT);)");
    screen.reload();
    screen.form1->Text2->setText("NoSuchDsnAnywhere");
    TablesScreen::select(list1(), {"Alpha"});
    screen.form2().PushButton1_Click();
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].contains("at line 104"));
    EXPECT_EQ(TablesScreen::entries(list1()), QStringList{"Alpha"});
}

TEST_F(Operations, ParadoxDeletionRemovesExactlyTheSelectedFiles) {
    paradoxTables({"a.db", "b.db", "c.db", "d.DB"});
    screen.form2().PushButton5_Click();
    EXPECT_EQ(messages(), QStringList{"Please select a table to delete."});
    fs::permissions(screen.paradox.file("c.db"), fs::perms::owner_read);  // read-only goes too
    TablesScreen::select(list2(), {"B", "C"});
    screen.form2().PushButton5_Click();
    EXPECT_EQ(TablesScreen::entries(list2()), (QStringList{"A", "D"}));
    EXPECT_TRUE(fs::exists(screen.paradox.file("a.db")));
    EXPECT_FALSE(fs::exists(screen.paradox.file("b.db")));
    EXPECT_FALSE(fs::exists(screen.paradox.file("c.db")));
    EXPECT_TRUE(fs::exists(screen.paradox.file("d.DB")));
    EXPECT_TRUE(errors().isEmpty());
}

// Brings every file of a trash folder back to where its info file says it came from.
void restoreFromTrash(const QString& trash) {
    for (const QFileInfo& info : QDir(trash + "/info").entryInfoList({"*.trashinfo"})) {
        QFile file(info.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        const qsizetype at = text.indexOf("\nPath=") + 6;
        const QByteArray path =
            QByteArray::fromPercentEncoding(text.mid(at, text.indexOf('\n', at) - at));
        ASSERT_TRUE(
            QFile::rename(trash + "/files/" + info.completeBaseName(), QFile::decodeName(path)));
        QFile::remove(info.filePath());
    }
}

// A home trash of the test's own, for as long as it lives.
struct OwnDataHome {
    OwnDataHome() : saved(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_DATA_HOME", home.path().c_str());
    }
    explicit OwnDataHome(const QByteArray& path) : saved(qgetenv("XDG_DATA_HOME")) {
        qputenv("XDG_DATA_HOME", path);
    }
    ~OwnDataHome() { qputenv("XDG_DATA_HOME", saved); }
    QString trash() const { return QString::fromStdString(home.file("Trash")); }

    TempDir home;
    QByteArray saved;
};

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A deleted table's whole family goes to the user's trash, where a file manager shows it and
// from where it comes back whole; the files beside it that are not the table's stay.
TEST_F(Operations, ParadoxDeletionMovesTheWholeTableToTheTrash) {
    const OwnDataHome dataHome;
    paradoxTables({"orders.db", "keep.db"});
    for (const char* companion : {"ORDERS.PX", "orders.X02", "Orders.YG1", "ORDERS.txt"})
        writeWholeFile(screen.paradox.file(companion), companion);
    const std::string data = readWholeFile(screen.paradox.file("orders.db"));
    const std::string memo = readWholeFile(screen.paradox.file("orders.mb"));
    TablesScreen::select(list2(), {"ORDERS"});
    screen.form2().PushButton5_Click();
    EXPECT_TRUE(screen.test.dialogs.calls().empty());
    EXPECT_EQ(TablesScreen::entries(list2()), QStringList{"KEEP"});
    EXPECT_EQ(filesIn(screen.folder()), (QStringList{"ORDERS.txt", "keep.db", "keep.mb"}));

    const QString trash = dataHome.trash();
    EXPECT_EQ(filesIn(trash + "/files"),
              (QStringList{"ORDERS.PX", "Orders.YG1", "orders.X02", "orders.db", "orders.mb"}));
    QFile info(trash + "/info/orders.db.trashinfo");
    ASSERT_TRUE(info.open(QIODevice::ReadOnly));
    EXPECT_TRUE(info.readAll().startsWith(
        "[Trash Info]\nPath=" + QFile::encodeName(screen.folder()).toPercentEncoding("/") +
        "/orders.db\nDeletionDate=20"));

    // A second table of the name goes in beside the first under a name of its own.
    paradoxTables({"orders.db"});
    TablesScreen::select(list2(), {"ORDERS"});
    screen.form2().PushButton5_Click();
    EXPECT_TRUE(QFile::exists(trash + "/files/orders (2).db"));
    EXPECT_TRUE(QFile::exists(trash + "/info/orders (2).db.trashinfo"));
    QFile::remove(trash + "/files/orders (2).db");
    QFile::remove(trash + "/files/orders (2).mb");
    QFile::remove(trash + "/info/orders (2).db.trashinfo");
    QFile::remove(trash + "/info/orders (2).mb.trashinfo");

    restoreFromTrash(trash);
    EXPECT_TRUE(readWholeFile(screen.paradox.file("orders.db")) == data);
    EXPECT_TRUE(readWholeFile(screen.paradox.file("orders.mb")) == memo);
    EXPECT_TRUE(filesIn(trash + "/files").isEmpty());
    px::Table restored(screen.paradox.file("orders.db"));
    std::vector<Value> row;
    ASSERT_TRUE(restored.next(row));
    EXPECT_EQ(row[1].raw(), std::string(300, 'n'));
}

// Where no trash can be made (here the home trash's folder is a file), the table's files are
// deleted as before; the data file first, so that a table never loses its memo file alone.
TEST_F(Operations, ParadoxDeletionWithoutATrashDeletesTheWholeTable) {
    writeWholeFile(screen.paradox.file("blocker"), "a file where a folder would be");
    const OwnDataHome dataHome(QFile::encodeName(screen.folder()) + "/blocker/data");
    paradoxTables({"orders.db"});
    writeWholeFile(screen.paradox.file("ORDERS.PX"), "index");
    TablesScreen::select(list2(), {"ORDERS"});
    screen.form2().PushButton5_Click();
    EXPECT_TRUE(screen.test.dialogs.calls().empty());
    EXPECT_TRUE(TablesScreen::entries(list2()).isEmpty());
    EXPECT_EQ(filesIn(screen.folder()), QStringList{"blocker"});
}

// A table on another file system goes to that file system's own trash, never across: also when
// the chosen folder is a link to it from the home folder's file system.
TEST_F(Operations, ParadoxDeletionOnAnotherFileSystemUsesItsOwnTrash) {
    struct stat shm {
    }, here{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(screen.paradox.path().c_str(), &here) != 0 ||
        shm.st_dev == here.st_dev || ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no second file system to delete on";
    const QString folder = "/dev/shm/morvane-" + QString::number(::getpid());
    const QString trash = "/dev/shm/.Trash-" + QString::number(::getuid());
    const QString link = QString::fromStdString(screen.paradox.file("linked"));
    const bool trashWasThere = QFileInfo::exists(trash);
    QDir().mkpath(folder);
    ASSERT_TRUE(QFile::link(folder, link));
    for (const QString& chosen : {folder, link}) {
        SCOPED_TRACE(chosen.toStdString());
        pxfixture::writeTable(QFile::encodeName(folder).toStdString() + "/far.db",
                              {12, 2, 1252, kFields}, {});
        screen.form1->Text1->setText(chosen);
        screen.reload();
        TablesScreen::select(list2(), {"FAR"});
        screen.form2().PushButton5_Click();
        EXPECT_TRUE(QFile::exists(trash + "/files/far.db"));
        EXPECT_TRUE(QFile::exists(trash + "/info/far.db.trashinfo"));
        EXPECT_FALSE(QFile::exists(folder + "/far.db"));
        QFile::remove(trash + "/files/far.db");
        QFile::remove(trash + "/info/far.db.trashinfo");
        EXPECT_TRUE(screen.test.dialogs.calls().empty());
    }
    if (!trashWasThere)
        QDir(trash).removeRecursively();
    QDir(folder).removeRecursively();
}

TEST_F(Operations, ParadoxDeletionOfAFileRemovedMeanwhileKeepsItsEntry) {
    paradoxTables({"a.db"});
    fs::remove(screen.paradox.file("a.db"));
    TablesScreen::select(list2(), {"A"});
    screen.form2().PushButton5_Click();
    EXPECT_EQ(TablesScreen::entries(list2()), QStringList{"A"});
    EXPECT_TRUE(screen.test.dialogs.calls().empty());
}

TEST_F(Operations, ParadoxDeletionThatTheFolderRefusesIsReportedAndTheEntryStays) {
    paradoxTables({"locked.db"});
    TablesScreen::select(list2(), {"LOCKED"});
    fs::permissions(screen.paradox.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                               fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(fs::path(screen.paradox.path()).parent_path(), fs::perms::others_exec,
                    fs::perm_options::add);
    const std::string result = runUnprivileged([&] {
        screen.form2().PushButton5_Click();
        return (TablesScreen::entries(list2()).join(",") + "|" + errors().join("")).toStdString();
    });
    fs::permissions(screen.paradox.path(), fs::perms::owner_all);
    EXPECT_TRUE(QString::fromStdString(result).startsWith("LOCKED|")) << result;
    EXPECT_TRUE(QString::fromStdString(result).contains("could not be deleted: Permission denied"))
        << result;
    EXPECT_TRUE(fs::exists(screen.paradox.file("locked.db")));
}

TEST_F(Operations, TargetRenaming) {
    TestDatabases::execute(screen.dsn, R"(CREATE TABLE "Orders"("a" TEXT);)");
    TestDatabases::execute(screen.dsn, R"(CREATE TABLE "Taken"("a" TEXT);)");
    screen.reload();
    screen.form2().PushButton6_Click();
    EXPECT_EQ(messages(), QStringList{"Please select a table to rename."});
    TablesScreen::select(list1(), {"Orders", "Taken"});
    screen.form2().PushButton6_Click();
    EXPECT_EQ(messages().last(), "Please select just one table to rename.");

    TablesScreen::select(list1(), {"Orders"});
    screen.test.dialogs.answerInput("");  // Cancel
    screen.form2().PushButton6_Click();
    EXPECT_EQ(TablesScreen::entries(list1()), (QStringList{"Orders", "Taken"}));

    screen.test.dialogs.answerInput("Sales \"2024\"");
    screen.form2().PushButton6_Click();
    EXPECT_EQ(screen.test.dialogs.calls().back().text, "Enter new name of Orders:");
    EXPECT_EQ(screen.test.dialogs.calls().back().extra, "Orders");
    EXPECT_EQ(targetTables(screen.dsn), (QStringList{"Sales \"2024\"", "Taken"}));
    EXPECT_EQ(TablesScreen::entries(list1()), (QStringList{"Sales \"2024\"", "Taken"}));
    EXPECT_EQ(list1().listIndex(), 0);

    // A name the database refuses: reported, and the entry keeps the old name.
    TablesScreen::select(list1(), {"Taken"});
    screen.test.dialogs.answerInput("Sales \"2024\"");
    screen.form2().PushButton6_Click();
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].contains("at line 120"));
    EXPECT_EQ(TablesScreen::entries(list1()), (QStringList{"Sales \"2024\"", "Taken"}));
}

TEST_F(Operations, ParadoxRenamingMovesExactlyTheTablesOwnFiles) {
    paradoxTables({"orders.db"});
    // Mixed letter case, as copies between systems leave it.
    fs::rename(screen.paradox.file("orders.mb"), screen.paradox.file("ORDERS.MB"));
    for (const char* companion : {"orders.PX", "Orders.x02", "orders.XG0", "orders.Val"})
        writeWholeFile(screen.paradox.file(companion), "companion");
    const char* strangers[] = {"ORDERS.txt", "ORDERS.bak", "ORDERS", "orders.X0G", "ordersx.db"};
    for (const char* stranger : strangers)
        writeWholeFile(screen.paradox.file(stranger), "not the table's");
    screen.reload();
    TablesScreen::select(list2(), {"ORDERS"});
    screen.test.dialogs.answerInput("Sales");
    screen.form2().PushButton7_Click();
    EXPECT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
    for (const char* gone : {"orders.db", "ORDERS.MB", "orders.PX", "Orders.x02", "orders.XG0"})
        EXPECT_FALSE(fs::exists(screen.paradox.file(gone))) << gone;
    for (const char* moved :
         {"Sales.db", "Sales.MB", "Sales.PX", "Sales.x02", "Sales.XG0", "Sales.Val"})
        EXPECT_TRUE(fs::exists(screen.paradox.file(moved))) << moved;
    for (const char* stranger : strangers)
        EXPECT_TRUE(fs::exists(screen.paradox.file(stranger))) << stranger;
    EXPECT_TRUE(TablesScreen::entries(list2()).contains("Sales"));
    // Its memos are still readable under the new name.
    px::Table renamed(screen.paradox.file("Sales.db"));
    std::vector<Value> row;
    ASSERT_TRUE(renamed.next(row));
    EXPECT_EQ(row[1].raw(), std::string(300, 'n'));
}

TEST_F(Operations, ParadoxRenamingRefusesPathsAndExistingTables) {
    paradoxTables({"orders.db", "sales.db"});
    // A memo file that a deleted table left behind.
    writeWholeFile(screen.paradox.file("OLDFISH.MB"), "a stranger's memos");
    for (const char* answer : {"../x", "a/b", "Sales", "..", "oldfish"}) {
        TablesScreen::select(list2(), {"ORDERS"});
        screen.test.dialogs.answerInput(answer);
        screen.form2().PushButton7_Click();
    }
    const QStringList said = messages();
    ASSERT_EQ(said.size(), 5);
    EXPECT_TRUE(said[0].contains("path separator"));
    EXPECT_TRUE(said[1].contains("path separator"));
    // Table names ignore letter case: sales.db takes the name Sales.
    EXPECT_TRUE(said[2].contains("already exists")) << said[2].toStdString();
    EXPECT_TRUE(said[3].contains("no valid file name"));
    EXPECT_TRUE(said[4].contains("the file " + screen.folder() + "/OLDFISH.MB already exists"))
        << said[4].toStdString();
    EXPECT_TRUE(fs::exists(screen.paradox.file("orders.mb")));
    EXPECT_TRUE(fs::exists(screen.paradox.file("orders.db")));
    EXPECT_EQ(readWholeFile(screen.paradox.file("sales.db")).size(),
              fs::file_size(screen.paradox.file("sales.db")));
    EXPECT_TRUE(TablesScreen::entries(list2()).contains("ORDERS"));
}

TEST_F(Operations, ParadoxRenamingOntoItselfIsAFailedCopy) {
    paradoxTables({"same.db"});
    TablesScreen::select(list2(), {"SAME"});
    screen.test.dialogs.answerInput("same");
    screen.form2().PushButton7_Click();
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].contains("onto itself"));
    EXPECT_TRUE(errors()[0].contains("Main.RenameFile at line 100"));
    EXPECT_TRUE(fs::exists(screen.paradox.file("same.db")));
}

TEST_F(Operations, ParadoxRenamingThatCannotWriteLeavesTheTableComplete) {
    paradoxTables({"orders.db"});
    const std::string before = readWholeFile(screen.paradox.file("orders.db"));
    TablesScreen::select(list2(), {"ORDERS"});
    fs::permissions(screen.paradox.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                               fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(fs::path(screen.paradox.path()).parent_path(), fs::perms::others_exec,
                    fs::perm_options::add);
    const std::string result = runUnprivileged([&] {
        screen.test.dialogs.answerInput("Sales");
        screen.form2().PushButton7_Click();
        return (TablesScreen::entries(list2()).join(",") + "|" + errors().join("")).toStdString();
    });
    fs::permissions(screen.paradox.path(), fs::perms::owner_all);
    EXPECT_TRUE(QString::fromStdString(result).startsWith("ORDERS|")) << result;
    EXPECT_TRUE(QString::fromStdString(result).contains("Main.RenameFile at line 100")) << result;
    EXPECT_EQ(readWholeFile(screen.paradox.file("orders.db")), before);
    EXPECT_FALSE(fs::exists(screen.paradox.file("Sales.db")));
}
