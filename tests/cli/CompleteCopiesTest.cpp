// A table the target has is replaced only by a complete copy, on targets whose CREATE and DROP
// commit at once (MariaDB, as SQL Anywhere) and on one that takes them back (PostgreSQL): a row
// the target refuses, a Ctrl-C, a kill or a lock held by another session leave the old table as
// it was, and a new table that fails leaves nothing behind.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>

#include <signal.h>

#include <chrono>
#include <thread>

#include "ado/Connection.h"
#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TablesScreen.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"
#include "ui/ProgressBar.h"

using px::FieldType;
using px::Value;

namespace {

const std::vector<px::Field> kPeople = {{"ID", FieldType::Long, 4, 0},
                                        {"NAME", FieldType::Alpha, 20, 0},
                                        {"NOTE", FieldType::Memo, 11, 0}};

// `rows` people; the one at `refused` (from 0, or none when -1) has a Cyrillic name.
void writePeople(const std::string& path, int rows, int refused = -1) {
    std::vector<std::vector<Value>> values;
    for (int i = 0; i < rows; ++i)
        values.push_back({Value::integer(i),
                          Value::text(i == refused ? "Жук" : "name " + std::to_string(i)),
                          Value::text(std::string(300, char('a' + i % 26)))});
    pxfixture::writeTable(path, {12, 2, 1251, kPeople}, values);
}

// A target that refuses a Cyrillic name: a MariaDB database in Latin-1, or a PostgreSQL one
// whose every new table gets a check against it.
QString refusingTarget(const std::string& product) {
    if (product == "mariadb")
        return TestDatabases::newMariaDbDsn("latin1");
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        return dsn;
    TestDatabases::onEveryNewTable(dsn, "refuse_cyrillic",
                                   R"(ALTER TABLE %s ADD CHECK ("NAME" <> 'Жук'))");
    return dsn;
}

QString path(const TempDir& dir) {
    return QString::fromStdString(dir.path());
}

// A table's rows, each "ID NAME".
QStringList people(const QString& dsn, const QString& table) {
    QStringList rows;
    for (const QStringList& row : queryRows(
             dsn, R"(SELECT CAST("ID" AS INTEGER), "NAME" FROM ")" + table + R"(" ORDER BY "ID")"))
        rows << row[0] + " " + row[1];
    return rows;
}

const QString kKept = "PEOPLE was not replaced: the target keeps its table as it was: ";

class CompleteCopies : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        dsn_ = refusingTarget(GetParam());
        if (dsn_.isEmpty())
            GTEST_SKIP() << GetParam() << " is not installed";
    }
    QString dsn_;
    // The statement that carries the rows: MariaDB's LOAD DATA, PostgreSQL's COPY.
    const QString rowsGoingIn_ =
        QString(GetParam() == "mariadb" ? "INTO TABLE" : "COPY") + R"( "PEOPLE__morvane_new")";
};

}  // namespace

// A row refused part-way: in every mode of the command line and in the window, the old table
// keeps its rows and no work table is left; a new table that fails leaves nothing, except row
// by row, where it is named incomplete with the rows that arrived.
TEST_P(CompleteCopies, ARefusedRowLeavesTheOldTableAsItWasAndANewOneNotAtAll) {
    TempDir old, refused;
    writePeople(old.file("people.db"), 3);
    writePeople(refused.file("people.db"), 50, 29);
    ASSERT_EQ(transfer({path(old), dsn_}).status, 0);
    const QStringList before = people(dsn_, "PEOPLE");
    ASSERT_EQ(before, (QStringList{"0 name 0", "1 name 1", "2 name 2"}));

    for (const QStringList& mode : {QStringList{},
                                    QStringList{"--typed"},
                                    QStringList{"--row-by-row"},
                                    {"--typed", "--row-by-row"}}) {
        SCOPED_TRACE(mode.join(" ").toStdString());
        const TransferRun run = transfer(mode + QStringList{"--overwrite", path(refused), dsn_});
        EXPECT_EQ(run.status, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("\nFailed: PEOPLE: " + kKept)) << run.err.toStdString();
        EXPECT_EQ(run.err.count("Failed: PEOPLE"), 1) << run.err.toStdString();
        // The server's own load names the row it refused: the 30th.
        if (!mode.contains("--row-by-row")) {
            EXPECT_TRUE(run.err.contains(GetParam() == "postgres"
                                             ? R"(COPY PEOPLE__morvane_new, line 30: "29)"
                                             : "`NAME` at row 30"))
                << run.err.toStdString();
        }
        EXPECT_EQ(people(dsn_, "PEOPLE"), before);
        EXPECT_EQ(tablesOf(dsn_), QStringList{"PEOPLE"});
    }

    // In the window, answering Yes to "Overwrite?".
    {
        TablesScreen screen(dsn_);
        screen.form1->Text1->setText(path(refused));
        screen.reload();
        TablesScreen::select(*screen.form2().List2, {"PEOPLE"});
        screen.test.dialogs.answerQuestion(true);
        screen.form2().PushButton4_Click();
        const QStringList errors = screen.test.dialogs.texts("error");
        ASSERT_EQ(errors.size(), 1) << errors.join("\n").toStdString();
        EXPECT_TRUE(errors[0].startsWith(kKept)) << errors[0].toStdString();
        EXPECT_EQ(screen.form2().ProgressBar1->percent(), 0);
        EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"PEOPLE"});
    }
    EXPECT_EQ(people(dsn_, "PEOPLE"), before);
    EXPECT_EQ(tablesOf(dsn_), QStringList{"PEOPLE"});

    // A new table that fails leaves nothing for a later --skip-existing to mistake for it.
    TestDatabases::execute(dsn_, R"(DROP TABLE "PEOPLE")");
    for (const QStringList& mode : {QStringList{}, QStringList{"--typed"}}) {
        SCOPED_TRACE(mode.join(" ").toStdString());
        const TransferRun run =
            transfer(mode + QStringList{"--skip-existing", path(refused), dsn_});
        EXPECT_EQ(run.status, 1) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("skipped")) << run.err.toStdString();
        EXPECT_TRUE(tablesOf(dsn_).isEmpty()) << tablesOf(dsn_).join(", ").toStdString();
    }
    const TransferRun rowByRow = transfer({"--row-by-row", path(refused), dsn_});
    EXPECT_EQ(rowByRow.status, 1);
    EXPECT_TRUE(rowByRow.err.contains("\nIncomplete: PEOPLE: 49 of 50 rows arrived: "))
        << rowByRow.err.toStdString();
    EXPECT_TRUE(rowByRow.err.contains("Copied 0 of 1 tables, 1 incomplete, 49 rows"))
        << rowByRow.err.toStdString();
    EXPECT_EQ(rowByRow.err.count("Incomplete: PEOPLE"), 1) << rowByRow.err.toStdString();
}

// Ctrl-C part-way through a replacement keeps the old table; a kill leaves at most a work table
// that names itself, which the next copy of the table removes.
TEST_P(CompleteCopies, AStoppedOrKilledReplacementKeepsTheOldTable) {
    TempDir old, large;
    writePeople(old.file("people.db"), 3);
    writePeople(large.file("a.db"), 1);
    writePeople(large.file("people.db"), 200000);
    ASSERT_EQ(transfer({"--typed", path(old), dsn_}).status, 0);
    const QStringList before = people(dsn_, "PEOPLE");

    QProcess stopped;
    startTransfer(stopped, {"--typed", "--overwrite", path(large), dsn_});
    QString seen;
    ASSERT_TRUE(waitForOutput(stopped, seen, "A (table 1 of 2): 1 of 1 row"));
    ASSERT_TRUE(TestDatabases::waitForStatement(dsn_, rowsGoingIn_));
    ::kill(static_cast<pid_t>(stopped.processId()), SIGINT);
    const TransferRun interrupted = finishedTransfer(stopped);
    const QString err = seen + interrupted.err;
    EXPECT_EQ(interrupted.status, 130) << err.toStdString();
    EXPECT_TRUE(err.contains("\nInterrupted: PEOPLE: " + kKept + "the run was stopped"))
        << err.toStdString();
    EXPECT_EQ(people(dsn_, "PEOPLE"), before);
    EXPECT_EQ(tablesOf(dsn_), (QStringList{"A", "PEOPLE"}));

    QProcess killed;
    startTransfer(killed, {"--typed", "--overwrite", path(large), dsn_});
    seen.clear();
    ASSERT_TRUE(waitForOutput(killed, seen, "A (table 1 of 2): 1 of 1 row"));
    // Killed while the rows go in: the work table, committed before them, stays, and names
    // itself.
    ASSERT_TRUE(TestDatabases::waitForStatement(dsn_, rowsGoingIn_));
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    finishedTransfer(killed);
    EXPECT_EQ(people(dsn_, "PEOPLE"), before);
    EXPECT_EQ(tablesOf(dsn_), (QStringList{"A", "PEOPLE", "PEOPLE__morvane_new"}));
    EXPECT_TRUE(transfer({"--list", path(large), dsn_})
                    .out.contains("  PEOPLE__morvane_new\t(a copy left unfinished; the next "
                                  "copy of its table removes it)\n"));

    const TransferRun again = transfer({"--typed", "--overwrite", path(large), dsn_});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(tablesOf(dsn_), (QStringList{"A", "PEOPLE"}));
    EXPECT_EQ(queryRows(dsn_, R"(SELECT count(*) FROM "PEOPLE")")[0][0], "200000");
}

// The first Ctrl-C while the drop of the old table waits on another session's lock cancels the
// drop at once: the run stops within a second or so, and the table is whole.
TEST_P(CompleteCopies, ACtrlCStopsADropThatWaitsOnAnotherSessionsLock) {
    TempDir old, fresh;
    writePeople(old.file("people.db"), 3);
    writePeople(fresh.file("people.db"), 5);
    ASSERT_EQ(transfer({path(old), dsn_}).status, 0);

    ReadingSession reader(dsn_, "PEOPLE");
    QProcess waiting;
    startTransfer(waiting, {"--overwrite", path(fresh), dsn_});
    QString seen;
    ASSERT_TRUE(waitForOutput(waiting, seen, "waiting for " + dsn_ + " to answer"))
        << seen.toStdString();
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    ::kill(static_cast<pid_t>(waiting.processId()), SIGINT);
    const TransferRun stopped = finishedTransfer(waiting, 30);
    EXPECT_LT(sinceSignal.elapsed(), 2000);
    const QString err = seen + stopped.err;
    EXPECT_EQ(stopped.status, 130) << err.toStdString();
    EXPECT_TRUE(err.contains(kKept + "stopped while waiting for PEOPLE's lock"))
        << err.toStdString();
    EXPECT_EQ(err.count("Interrupted: PEOPLE"), 1) << err.toStdString();
    reader.release();
    EXPECT_EQ(people(dsn_, "PEOPLE"), (QStringList{"0 name 0", "1 name 1", "2 name 2"}));
    EXPECT_EQ(tablesOf(dsn_), QStringList{"PEOPLE"});
}

INSTANTIATE_TEST_SUITE_P(Targets, CompleteCopies, ::testing::Values("mariadb", "postgres"));
