// The tables screen with "Keep Paradox types, keys and rules" on, on PostgreSQL and on MariaDB
// (whose CREATE and DROP commit at once, as SQL Anywhere's do): a table of 200,000 rows arrives
// whole and says where it is; Stop, Escape and closing the window end the transfer part-way with
// the target as a Ctrl-C leaves it, also while a drop waits on another session's lock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLocale>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "ado/Connection.h"
#include "data/products/TargetProduct.h"
#include "fixture/ParadoxWriter.h"
#include "fixture/ValidityWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TablesScreen.h"
#include "ui/ProgressBar.h"
#include "ui/PushButton.h"

using px::FieldType;
using px::Value;

namespace {

constexpr int kRows = 200000;

// People keyed on ID, each "ID name ID".
void writePeople(const std::string& path, int rows) {
    pxfixture::TableLayout layout{
        12, 2, 1252, {{"ID", FieldType::Long, 4, 0}, {"NAME", FieldType::Alpha, 20, 0}}};
    layout.keyFields = 1;
    std::vector<std::vector<Value>> values;
    for (int i = 0; i < rows; ++i)
        values.push_back({Value::integer(i), Value::text("name " + std::to_string(i))});
    pxfixture::writeTable(path, layout, values);
}

// The rows the progress bar says were sent of `table`, or -1 when it names no rows of it.
long long rowsShown(const Form2& form, const QString& table) {
    const QRegularExpressionMatch shown =
        QRegularExpression("^" + table + R"(: ([\d,]+) of [\d,]+ rows)")
            .match(form.ProgressBar1->caption());
    return shown.hasMatch() ? shown.captured(1).remove(',').toLongLong() : -1;
}

// What the screen showed during a transfer, looked at every 5 ms.
struct Watched {
    QStringList captions;
    bool stopEnabled = false;
    bool workTableListed = false;
    bool acted = false;
};

// Sends the chosen tables and watches the screen meanwhile; `act` runs once, when `due` first
// holds.
Watched transferWatching(Form2& form, const std::function<bool()>& due = {},
                         const std::function<void()>& act = {}) {
    Watched watched;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (watched.captions.isEmpty() || watched.captions.back() != form.ProgressBar1->caption())
            watched.captions << form.ProgressBar1->caption();
        watched.stopEnabled = watched.stopEnabled || form.PushButton13->isEnabled();
        for (const QString& name : TablesScreen::entries(*form.List1))
            watched.workTableListed =
                watched.workTableListed || TargetProduct::isWorkTableName(name);
        if (due && !watched.acted && due()) {
            watched.acted = true;
            act();
        }
    });
    watcher.start(5);
    form.PushButton4_Click();
    return watched;
}

const QString kKept = "PEOPLE was not replaced: the target keeps its table as it was: ";

class WindowStop : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        dsn_ = TestDatabases::newDsnOn(GetParam());
        if (dsn_.isEmpty())
            GTEST_SKIP() << GetParam() << " is not installed";
        screen_ = std::make_unique<TablesScreen>(dsn_);
        form().Check1->click();
    }
    Form2& form() { return screen_->form2(); }
    // Writes the tables, lists them again and chooses `chosen`.
    void choose(const std::vector<std::pair<std::string, int>>& tables, const QStringList& chosen) {
        for (const auto& [name, rows] : tables)
            writePeople(screen_->paradox.file(name), rows);
        screen_->reload();
        TablesScreen::select(*form().List2, chosen);
    }
    // The screen once a transfer has ended: Stop off again, the bar back to its rest.
    void expectAtRest() {
        EXPECT_FALSE(form().PushButton13->isEnabled());
        EXPECT_EQ(form().ProgressBar1->caption(), "Progress Bar");
        EXPECT_FALSE(form().operationRunning());
    }
    QStringList people() {
        QStringList rows;
        for (const QStringList& row :
             queryRows(dsn_, R"(SELECT CAST("ID" AS INTEGER), "NAME" FROM "PEOPLE" ORDER BY "ID")"))
            rows << row[0] + " " + row[1];
        return rows;
    }
    const std::function<bool()> partWay = [this] { return rowsShown(form(), "PEOPLE") >= 20000; };

    QString dsn_;
    std::unique_ptr<TablesScreen> screen_;
};

}  // namespace

TEST_P(WindowStop, TheCheckBoxCopiesTwoHundredThousandRowsWholeAndSaysWhereItIs) {
    choose({{"people.db", kRows}}, {"PEOPLE"});
    const Watched watched = transferWatching(form());

    EXPECT_TRUE(screen_->test.dialogs.calls().empty())
        << screen_->test.dialogs.calls().front().text.toStdString();
    EXPECT_EQ(queryRows(dsn_, R"(SELECT count(*), sum("ID"), max("NAME") FROM "PEOPLE")")[0],
              (QStringList{"200000", "19999900000", "name 99999"}));
    EXPECT_EQ(queryRows(dsn_,
                        "SELECT count(*) FROM information_schema.table_constraints WHERE "
                        "table_name = 'PEOPLE' AND constraint_type = 'PRIMARY KEY'")[0][0],
              "1");
    EXPECT_EQ(tablesOf(dsn_), QStringList{"PEOPLE"});
    EXPECT_EQ(TablesScreen::entries(*form().List1), QStringList{"PEOPLE"});
    EXPECT_FALSE(watched.workTableListed);
    EXPECT_TRUE(watched.stopEnabled);
    // The rows counted as they go, the time left once a second has passed (a load at the
    // server's own speed ends within a few captions).
    const QRegularExpression counting(R"(^PEOPLE: [\d,]+ of 200,000 rows(, about \d+ s left)?$)");
    EXPECT_GE(std::count_if(watched.captions.begin(), watched.captions.end(),
                            [&](const QString& text) {
                                return counting.match(text).hasMatch() &&
                                       !text.startsWith("PEOPLE: 200,000 ");
                            }),
              1)
        << watched.captions.join("\n").toStdString();
    expectAtRest();
}

// Stop part-way through a replacement: the table sent before it stays, the old table is kept
// whole, the one after it is never started, and one box says so.
TEST_P(WindowStop, StopPartWayKeepsTheTablesSentAndTheOldTableAndNamesWhatWasNotCopied) {
    writePeople(screen_->paradox.file("people.db"), 3);
    screen_->reload();
    TablesScreen::select(*form().List2, {"PEOPLE"});
    form().PushButton4_Click();
    ASSERT_EQ(people(), (QStringList{"0 name 0", "1 name 1", "2 name 2"}));

    // From the last entry to the first: ZED, then PEOPLE, then A.
    choose({{"a.db", 5}, {"people.db", kRows}, {"zed.db", 10}}, {"A", "PEOPLE", "ZED"});
    screen_->test.dialogs.answerQuestion(true);
    const Watched watched =
        transferWatching(form(), partWay, [&] { form().PushButton13->click(); });

    ASSERT_TRUE(watched.acted);
    EXPECT_TRUE(screen_->test.dialogs.texts("error").isEmpty())
        << screen_->test.dialogs.texts("error").join("\n").toStdString();
    EXPECT_EQ(screen_->test.dialogs.texts("message"),
              QStringList{"The transfer was stopped. Not copied: PEOPLE, A.\n" + kKept +
                          "the run was stopped"});
    EXPECT_EQ(people(), (QStringList{"0 name 0", "1 name 1", "2 name 2"}));
    EXPECT_EQ(queryRows(dsn_, R"(SELECT count(*) FROM "ZED")")[0][0], "10");
    EXPECT_EQ(tablesOf(dsn_), (QStringList{"PEOPLE", "ZED"}));
    EXPECT_EQ(TablesScreen::entries(*form().List1), (QStringList{"PEOPLE", "ZED"}));
    EXPECT_FALSE(watched.workTableListed);
    expectAtRest();
}

// Escape stops as Stop does: a new table stopped part-way leaves nothing of it.
TEST_P(WindowStop, EscapeStopsANewTableAndLeavesNothingOfIt) {
    choose({{"people.db", kRows}}, {"PEOPLE"});
    form().show();
    QApplication::setActiveWindow(&form());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form()));
    const Watched watched =
        transferWatching(form(), partWay, [&] { QTest::keyClick(&form(), Qt::Key_Escape); });

    ASSERT_TRUE(watched.acted);
    EXPECT_EQ(screen_->test.dialogs.texts("message"),
              QStringList{"The transfer was stopped. Not copied: PEOPLE."});
    EXPECT_EQ(screen_->test.dialogs.calls().size(), 1u);
    EXPECT_TRUE(tablesOf(dsn_).isEmpty()) << tablesOf(dsn_).join(", ").toStdString();
    EXPECT_TRUE(TablesScreen::entries(*form().List1).isEmpty());
    expectAtRest();
    // Escape with no transfer running does nothing.
    QTest::keyClick(&form(), Qt::Key_Escape);
    EXPECT_EQ(screen_->test.dialogs.calls().size(), 1u);
}

// Closing the window mid-copy stops the transfer, and the program ends only once the table has
// been taken back: no work table stays, and no box holds the program up, unless the stop left
// something to tell (a replacement's old table kept).
TEST_P(WindowStop, ClosingTheWindowMidCopyStopsItBeforeTheProgramEnds) {
    choose({{"people.db", kRows}}, {"PEOPLE"});
    form().show();
    int endsAtClose = -1;
    const auto closeWindow = [&] {
        EXPECT_FALSE(form().close());
        endsAtClose = screen_->test.programEnds;
    };
    ASSERT_TRUE(transferWatching(form(), partWay, closeWindow).acted);
    EXPECT_EQ(endsAtClose, 0);
    EXPECT_EQ(screen_->test.programEnds, 1);
    EXPECT_TRUE(screen_->test.dialogs.calls().empty())
        << screen_->test.dialogs.calls().front().text.toStdString();
    EXPECT_TRUE(tablesOf(dsn_).isEmpty()) << tablesOf(dsn_).join(", ").toStdString();

    // The same close while the table replaces one: the old table is kept, and said to be.
    TestDatabases::execute(dsn_, R"(CREATE TABLE "PEOPLE"("ID" INTEGER, "NAME" VARCHAR(20)))");
    TestDatabases::execute(dsn_, R"(INSERT INTO "PEOPLE" VALUES (7, 'old'))");
    screen_->reload();
    TablesScreen::select(*form().List2, {"PEOPLE"});
    screen_->test.dialogs.answerQuestion(true);
    ASSERT_TRUE(transferWatching(form(), partWay, closeWindow).acted);
    EXPECT_EQ(endsAtClose, 1);
    EXPECT_EQ(screen_->test.programEnds, 2);
    EXPECT_EQ(screen_->test.dialogs.texts("message"),
              QStringList{"The transfer was stopped. Not copied: PEOPLE.\n" + kKept +
                          "the run was stopped"});
    EXPECT_EQ(people(), QStringList{"7 old"});
    EXPECT_EQ(tablesOf(dsn_), QStringList{"PEOPLE"});
}

// A replacement whose drop waits on another session's lock: the window goes on handling its
// events, and Stop cancels the drop at once, the old table whole.
TEST_P(WindowStop, StopCancelsADropThatWaitsOnAnotherSessionsLock) {
    writePeople(screen_->paradox.file("people.db"), 3);
    screen_->reload();
    TablesScreen::select(*form().List2, {"PEOPLE"});
    form().PushButton4_Click();
    choose({{"people.db", 50}}, {"PEOPLE"});
    // A table made before records of copies were kept is replaced, not refreshed in place.
    TestDatabases::execute(dsn_, R"(DELETE FROM "morvane_journal")");

    ReadingSession reader(dsn_, "PEOPLE");
    const QString waiting =
        GetParam() == "mariadb"
            ? "SELECT count(*) FROM information_schema.processlist WHERE state = "
              "'Waiting for table metadata lock'"
            : "SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'";
    screen_->test.dialogs.answerQuestion(true);
    // A window that stood still, or a Stop that cancelled nothing, would wait for ever: the
    // reader lets go after 20 seconds, and the test fails instead.
    std::atomic<bool> ended = false;
    std::thread letGo([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!ended && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!ended)
            reader.release();
    });
    const Watched watched = transferWatching(
        form(), [&] { return queryRows(dsn_, waiting)[0][0] != "0"; },
        [&] { form().PushButton13->click(); });
    ended = true;
    letGo.join();
    reader.release();

    ASSERT_TRUE(watched.acted);
    EXPECT_EQ(screen_->test.dialogs.texts("message"),
              QStringList{"The transfer was stopped. Not copied: PEOPLE.\n" + kKept +
                          "stopped while waiting for PEOPLE's lock"});
    EXPECT_EQ(people(), (QStringList{"0 name 0", "1 name 1", "2 name 2"}));
    EXPECT_EQ(tablesOf(dsn_), QStringList{"PEOPLE"});
    expectAtRest();
}

// Stop while the foreign keys are made, after the last table: the key being made is finished,
// and the box names the tables whose keys were left out.
TEST_P(WindowStop, StopWhileTheRelationshipsAreMadeNamesTheKeysLeftOut) {
    if (GetParam() != "postgres")
        GTEST_SKIP() << "a foreign key is made slow by an event trigger of PostgreSQL's";
    TestDatabases::slowDefinitions(dsn_, "FOREIGN KEY", 2);
    for (const char* name : {"kida", "kidb"})
        pxfixture::writeChildTable(screen_->paradox.path(), name, "PARENT.DB");
    // From the last entry to the first: PARENT, KIDB, KIDA; then KIDB's key, then KIDA's.
    choose({{"parent.db", 3}}, {"KIDA", "KIDB", "PARENT"});
    const Watched watched = transferWatching(
        form(), [&] { return TestDatabases::runsStatement(dsn_, "ADD CONSTRAINT"); },
        [&] { form().PushButton13->click(); });

    ASSERT_TRUE(watched.acted);
    // The key being made is cancelled too: both are named.
    EXPECT_EQ(screen_->test.dialogs.texts("message"),
              QStringList{"The transfer was stopped once every table was copied. Foreign keys "
                          "not made: those of KIDB, KIDA."});
    EXPECT_TRUE(queryRows(dsn_, "SELECT 1 FROM pg_constraint WHERE contype = 'f'").empty());
    EXPECT_EQ(tablesOf(dsn_), (QStringList{"KIDA", "KIDB", "PARENT"}));
    expectAtRest();
}

// Stop while the copy's key is made, a long statement on a large table, here made to wait:
// the statement is cancelled, and the new table leaves nothing; the run ends soon after.
TEST_P(WindowStop, StopCancelsTheStatementThatRunsNow) {
    choose({{"people.db", 20000}}, {"PEOPLE"});
    const bool postgres = GetParam() == "postgres";
    if (postgres)
        TestDatabases::slowDefinitions(dsn_, "ADD PRIMARY KEY", 120);
    // On MariaDB another session reads the work table, once it is there, in a transaction.
    std::unique_ptr<ReadingSession> reader;
    QElapsedTimer sinceStop;
    const Watched watched = transferWatching(
        form(),
        [&] {
            if (!postgres && !reader && tablesOf(dsn_).contains("PEOPLE__morvane_new")) {
                reader = std::make_unique<ReadingSession>(dsn_, "PEOPLE__morvane_new");
            }
            return TestDatabases::runsStatement(dsn_, "ADD PRIMARY KEY");
        },
        [&] {
            sinceStop.start();
            form().PushButton13->click();
            if (reader)
                reader->release();
        });
    ASSERT_TRUE(watched.acted);
    EXPECT_LT(sinceStop.elapsed(), 20000) << "the stop did not reach the running statement";
    EXPECT_EQ(screen_->test.dialogs.texts("message"),
              QStringList{"The transfer was stopped. Not copied: PEOPLE."});
    EXPECT_TRUE(tablesOf(dsn_).isEmpty()) << tablesOf(dsn_).join(", ").toStdString();
    expectAtRest();
}

// Without the check box each row is a statement of its own: Stop sends nothing more, and names
// the table as incomplete with the rows that arrived, which are the rows the target holds.
TEST_P(WindowStop, StopRowByRowNamesTheTableIncompleteWithItsRows) {
    form().Check1->click();
    choose({{"people.db", kRows}}, {"PEOPLE"});
    const Watched watched = transferWatching(
        form(), [&] { return rowsShown(form(), "PEOPLE") >= 2000; },
        [&] { form().PushButton13->click(); });
    ASSERT_TRUE(watched.acted);
    const QString stored = queryRows(dsn_, R"(SELECT count(*) FROM "PEOPLE")")[0][0];
    EXPECT_EQ(screen_->test.dialogs.texts("message"),
              QStringList{"The transfer was stopped. Incomplete: PEOPLE: " +
                          QLocale(QLocale::English).toString(stored.toLongLong()) +
                          " of 200,000 rows arrived."});
    EXPECT_LT(stored.toLongLong(), kRows);
    EXPECT_EQ(TablesScreen::entries(*form().List1), QStringList{"PEOPLE"});
    expectAtRest();
}

// A data source that stops answering during the copy (its server paused, as SIGSTOP does): Stop
// cannot end the run, and after a few seconds the window asks whether to end the program, naming
// what the target may hold. Once the server answers again the run ends as a stop does.
TEST_P(WindowStop, AServerThatDoesNotAnswerTheStopIsOfferedTheEnd) {
    choose({{"people.db", kRows}}, {"PEOPLE"});
    std::vector<qint64> paused;
    screen_->test.dialogs.answerQuestion(true);
    screen_->test.dialogs.whileAsking = [&] {
        TestDatabases::resumeServer(paused);
        paused.clear();
    };
    const Watched watched = transferWatching(form(), partWay, [&] {
        paused = TestDatabases::pauseServer(dsn_);
        form().PushButton13->click();
    });
    ASSERT_TRUE(watched.acted);
    TestDatabases::resumeServer(paused);
    const QStringList asked = screen_->test.dialogs.texts("question");
    ASSERT_EQ(asked.size(), 1) << asked.join("\n").toStdString();
    EXPECT_TRUE(
        asked[0].startsWith("The data source does not answer the stop. End the program "
                            "now?"))
        << asked[0].toStdString();
    EXPECT_TRUE(asked[0].contains("PEOPLE__morvane_new")) << asked[0].toStdString();
    EXPECT_EQ(screen_->test.endedAtOnce, 1);
    EXPECT_TRUE(tablesOf(dsn_).isEmpty()) << tablesOf(dsn_).join(", ").toStdString();
    expectAtRest();
}

INSTANTIATE_TEST_SUITE_P(Targets, WindowStop, ::testing::Values("postgres", "mariadb"));
