// Faults provoked for real while the program works: the server goes away, the data source or
// the folder changes under the program, the disk fills up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/mount.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "ado/Connection.h"
#include "data/ParadoxModule.h"
#include "paradox/Table.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TablesScreen.h"
#include "ui/ProgressBar.h"

namespace fs = std::filesystem;
using px::FieldType;
using px::Value;

namespace {

const std::vector<px::Field> kWide = {{"ID", FieldType::Long, 4, 0},
                                      {"TEXT", FieldType::Alpha, 200, 0}};

std::vector<std::vector<Value>> wideRows(int count) {
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(
            {Value::integer(i), Value::text(std::string(150, static_cast<char>('a' + i % 26)))});
    return rows;
}

// Restarts the cluster even when a test fails half way.
struct ServerBack {
    ~ServerBack() {
        if (stopped)
            TestDatabases::startPostgres();
    }
    bool stopped = false;
};

}  // namespace

TEST(ServerGoesAway, DuringATransferTheLossIsReportedOnceAndTheNextTransferWorks) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TablesScreen screen(dsn);
    screen.writeParadoxTable("big.db", kWide, wideRows(20000));
    screen.writeParadoxTable("after.db", kWide, wideRows(10));
    const std::string before = readWholeFile(screen.paradox.file("big.db"));
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"BIG", "AFTER"});

    ServerBack server;
    int eventsSeen = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++eventsSeen; });
    ticker.start(5);
    QTimer::singleShot(300, [&] {
        TestDatabases::stopPostgres();
        server.stopped = true;
    });
    screen.form2().PushButton4_Click();  // BIG is sent first: the list is walked from its end
    ticker.stop();

    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1) << errors.join("\n").toStdString();
    EXPECT_TRUE(errors[0].contains("at line 252")) << errors[0].toStdString();
    EXPECT_GT(eventsSeen, 3) << "the window did not stay responsive";
    EXPECT_EQ(screen.form2().MousePointer.value(), ScreenPointer::Default);
    EXPECT_EQ(readWholeFile(screen.paradox.file("big.db")), before);

    TestDatabases::startPostgres();
    server.stopped = false;
    screen.test.dialogs.clear();
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"AFTER"});
    screen.form2().PushButton4_Click();
    EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty())
        << screen.test.dialogs.texts("error").join("\n").toStdString();
    EXPECT_EQ(queryRows(dsn, "SELECT count(*) FROM \"AFTER\"")[0][0], "10");
}

// While the insert waits, "< Back" and "Next >" are clicked: they are ignored like the other
// operation buttons, so the lists are not rebuilt under the running transfer.
TEST(SlowStatements, AnInsertKeptWaitingByALockLeavesTheWindowHandlingEvents) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TablesScreen screen(dsn);
    screen.writeParadoxTable("big.db", kWide, wideRows(20000));
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"BIG"});

    // Once rows go in, another session locks the new table, and lets it go only when the window
    // has handled events while an insert waited; or after ten seconds, when it has not.
    std::atomic<int> ticks = 0;
    std::atomic<bool> rowsGoIn = false;
    std::atomic<bool> locked = false;
    bool movedAway = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        rowsGoIn = rowsGoIn || screen.form2().ProgressBar1->percent() > 0;
        if (locked && !movedAway) {
            movedAway = true;
            screen.form2().PushButton2_Click();
            screen.form1->PushButton2_Click();
        }
    });
    ticker.start(5);
    int ticksWhileLocked = -1;
    std::thread otherSession([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!rowsGoIn && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ado::Connection session;
        session.Open("Data Source=" + dsn);
        session.Execute("BEGIN");
        session.Execute(R"(LOCK TABLE "BIG" IN ACCESS EXCLUSIVE MODE)");
        locked = true;
        const int atLock = ticks;
        while (ticks - atLock < 10 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ticksWhileLocked = ticks - atLock;
        session.Execute("COMMIT");
    });
    screen.form2().PushButton4_Click();
    otherSession.join();

    EXPECT_GE(ticksWhileLocked, 10) << "the window stopped while an insert waited";
    EXPECT_TRUE(movedAway);
    EXPECT_FALSE(screen.form1->isVisible());
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"BIG"});
    EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty())
        << screen.test.dialogs.texts("error").join("\n").toStdString();
    EXPECT_EQ(queryRows(dsn, R"(SELECT count(*) FROM "BIG")")[0][0], "20000");
}

TEST(RejectedRows, EachIsReportedOnceAndTheRowsAroundItArriveInOrder) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    // The target's own rule, added to every table created in it, refuses two of the rows.
    TestDatabases::onEveryNewTable(dsn, "refuse_two",
                                   R"(ALTER TABLE %s ADD CHECK ("ID" NOT IN (1000, 2999)))");
    TablesScreen screen(dsn);
    screen.writeParadoxTable("numbers.db", kWide, wideRows(3000));
    screen.writeParadoxTable("after.db", kWide, wideRows(10));
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"NUMBERS", "AFTER"});
    screen.form2().PushButton4_Click();

    // Each rejected row is told as it happens, once: the table is known to be short of them, so
    // no check adds a second report of the same rows.
    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 2) << errors.join("\n").toStdString();
    for (const QString& error : errors)
        EXPECT_TRUE(error.contains("at line 252")) << error.toStdString();
    const auto ids = queryRows(dsn, R"(SELECT count(*), min("ID"), max("ID") FROM "NUMBERS")");
    EXPECT_EQ(ids[0], (QStringList{"2998", "0", "2998"}));
    EXPECT_EQ(queryRows(dsn, R"(SELECT count(*) FROM "NUMBERS" WHERE "ID" IN (999, 1001))")[0][0],
              "2");
    EXPECT_EQ(queryRows(dsn, R"(SELECT count(*) FROM "AFTER")")[0][0], "10");
}

TEST(DataSourceChanges, ADsnRemovedAfterTheListingIsReportedOnceEachTimeAndNothingIsWritten) {
    const QString dsn = TestDatabases::newSqliteDsn();
    TestDatabases::execute(dsn, R"(CREATE TABLE "Kept"("a" TEXT);)");
    TablesScreen screen(dsn);
    screen.writeParadoxTable("orders.db", kWide, wideRows(10));
    screen.reload();
    TestDatabases::removeDsn(dsn);

    TablesScreen::select(*screen.form2().List2, {"ORDERS"});
    screen.form2().PushButton4_Click();
    TablesScreen::select(*screen.form2().List1, {"Kept"});
    screen.form2().PushButton1_Click();
    screen.test.dialogs.answerInput("Other");
    screen.form2().PushButton6_Click();

    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 3) << errors.join("\n").toStdString();
    EXPECT_TRUE(errors[0].contains("Form2.PushButton4_Click at line 118"));
    for (const QString& error : errors)
        EXPECT_TRUE(error.contains("Data source name not found")) << error.toStdString();
    EXPECT_TRUE(screen.test.dialogs.texts("input").isEmpty());
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"Kept"});

    TestDatabases::restoreDsn(dsn);
    EXPECT_EQ(tablesOf(dsn), QStringList{"Kept"});
}

TEST(ServerGoesAway, DuringAListingTheLossIsReportedOnceAndTheNextListingWorks) {
    // A driver that fetches the tables ten at a time asks the server again during the listing.
    const QString dsn = TestDatabases::newPostgresDsn("UseDeclareFetch = 1\nFetch = 10");
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TestDatabases::execute(dsn,
                           "DO $$ BEGIN FOR i IN 1..300 LOOP "
                           "EXECUTE format('CREATE TABLE t%s (a int)', i); END LOOP; END $$");
    TablesScreen screen(dsn);
    ServerBack server;
    // The listing lets events run between its rows: the server stops at the first chance.
    QTimer::singleShot(0, [&] {
        TestDatabases::stopPostgres();
        server.stopped = true;
    });
    screen.reload();
    ASSERT_TRUE(server.stopped) << "the listing let no event run";
    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1) << errors.join("\n").toStdString();
    EXPECT_TRUE(errors[0].contains("Form2.Form_Load at line 116")) << errors[0].toStdString();
    EXPECT_LT(screen.form2().List1->count(), 300);
    EXPECT_EQ(screen.form2().MousePointer.value(), ScreenPointer::Default);

    TestDatabases::startPostgres();
    server.stopped = false;
    screen.test.dialogs.clear();
    screen.reload();
    EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty());
    EXPECT_EQ(screen.form2().List1->count(), 300);
}

TEST(ServerGoesAway, BeforeARenameAndAListing) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    {
        ado::Connection connection;
        connection.Open("Data Source=" + dsn);
        connection.Execute(R"(CREATE TABLE "Orders"("a" TEXT);)");
    }
    TablesScreen screen(dsn);
    screen.reload();
    TablesScreen::select(*screen.form2().List1, {"Orders"});
    ServerBack server;
    TestDatabases::stopPostgres();
    server.stopped = true;
    screen.form2().PushButton6_Click();
    EXPECT_EQ(screen.test.dialogs.texts("error").size(), 1);
    EXPECT_TRUE(screen.test.dialogs.texts("input").isEmpty());
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"Orders"});
    screen.test.dialogs.clear();
    screen.reload();
    EXPECT_EQ(screen.test.dialogs.texts("error").size(), 1);
    EXPECT_TRUE(screen.test.dialogs.texts("error")[0].contains("Form2.Form_Load at line 116"));

    TestDatabases::startPostgres();
    server.stopped = false;
    screen.test.dialogs.clear();
    screen.reload();
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"Orders"});
    TablesScreen::select(*screen.form2().List1, {"Orders"});
    screen.test.dialogs.answerInput("Sales");
    screen.form2().PushButton6_Click();
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"Sales"});
}

TEST(FolderChanges, AFolderRemovedDuringTheScanListsNoPhantomAndNothingBreaks) {
    TempDir dir;
    for (int i = 0; i < 400; ++i) {
        const std::string folder =
            dir.file("f" + std::to_string(i % 20) + "/g" + std::to_string(i));
        fs::create_directories(folder);
        writeWholeFile(folder + "/t" + std::to_string(i) + ".db", "x");
    }
    ScriptedDialogs dialogs;
    QTimer::singleShot(0, [&] { fs::remove_all(dir.path()); });
    QElapsedTimer clock;
    clock.start();
    // The scan lets events run before it looks at each folder, so the timer strikes early.
    while (clock.elapsed() < 20)
        QApplication::processEvents();
    fs::create_directories(dir.file("f0"));
    Paradox::ListParadoxTables(
        QString::fromStdString(dir.path()), dialogs, [](const TableEntry& table) {
            EXPECT_TRUE(fs::exists(table.file.toStdString())) << table.name.toStdString();
        });
}

TEST(FolderChanges, ATableReplacedByADamagedFileIsReportedAndTheListStays) {
    TablesScreen screen(TestDatabases::newSqliteDsn());
    screen.writeParadoxTable("good.db", kWide, wideRows(5));
    screen.reload();
    writeWholeFile(screen.paradox.file("good.db"), "no longer a table");
    TablesScreen::select(*screen.form2().List2, {"GOOD"});
    screen.form2().PushButton4_Click();
    ASSERT_EQ(screen.test.dialogs.texts("error").size(), 1);
    EXPECT_TRUE(screen.test.dialogs.texts("error")[0].contains("good.db"));
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List2), QStringList{"GOOD"});
    EXPECT_TRUE(TablesScreen::entries(*screen.form2().List1).isEmpty());
}

TEST(DiskFull, ARenameWhoseCopyFailsHalfWayLeavesTheTableCompleteAndReadable) {
    TempDir dir;
    const std::string mountPoint = dir.file("small");
    fs::create_directories(mountPoint);
    if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};

    TablesScreen screen(TestDatabases::newSqliteDsn());
    screen.form1->Text1->setText(QString::fromStdString(mountPoint));
    pxfixture::writeTable(mountPoint + "/orders.db", {12, 4, 1252, kWide}, wideRows(3000));
    const std::string before = readWholeFile(mountPoint + "/orders.db");
    ASSERT_GT(before.size(), 512u * 1024);
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"ORDERS"});
    screen.test.dialogs.answerInput("Sales");
    screen.form2().PushButton7_Click();

    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("No space left on device")) << errors[0].toStdString();
    EXPECT_TRUE(errors[0].contains("Main.RenameFile at line 100"));
    EXPECT_EQ(readWholeFile(mountPoint + "/orders.db"), before);
    EXPECT_FALSE(fs::exists(mountPoint + "/Sales.db"));
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List2), QStringList{"ORDERS"});
    px::Table table(mountPoint + "/orders.db");
    EXPECT_EQ(table.rowCount(), 3000u);
}

TEST(HostileNames, TravelIntoPostgresIntact) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TablesScreen screen(dsn);
    const std::vector<px::Field> fields = {{"Quote \"q\"", FieldType::Alpha, 20, 0},
                                           {"Line\nbreak", FieldType::Alpha, 20, 0},
                                           {"Ελληνικά", FieldType::Alpha, 20, 0}};
    pxfixture::writeTable(
        screen.paradox.file("o'; drop.db"), {12, 2, 1253, fields},
        {{Value::text("'; DROP TABLE x; --"), Value::text("a\nb"), Value::text("Ωμέγα")}});
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"O'; DROP"});
    screen.form2().PushButton4_Click();
    EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty())
        << screen.test.dialogs.texts("error").join("\n").toStdString();
    const auto rows = queryRows(dsn, R"(SELECT * FROM "O'; DROP")");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (QStringList{"'; DROP TABLE x; --", "a\nb", "Ωμέγα"}));
    QStringList columns;
    for (const auto& row : queryRows(dsn,
                                     "SELECT column_name FROM information_schema.columns "
                                     "WHERE table_name = 'O''; DROP' ORDER BY ordinal_position"))
        columns << row[0];
    EXPECT_EQ(columns, (QStringList{"Quote \"q\"", "Line\nbreak", "Ελληνικά"}));
}
