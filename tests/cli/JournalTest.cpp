// A run killed or stopped at any step of a replacement, on a target whose definitions commit at
// once (MariaDB, as SQL Anywhere), loses nothing: the journal of its steps on the target tells
// the next run what to finish, and the next run does it before it copies anything. Each step is
// reached by another session's lock that makes the run wait there.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>

#include <signal.h>

#include <chrono>
#include <memory>
#include <thread>

#include "ado/Connection.h"
#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

// A keyed table PARENTS of `rows` rows, ID 0 to rows - 1, named by `label`.
void writeParents(const TempDir& folder, int rows, const std::string& label = "parent") {
    std::vector<std::vector<Value>> values;
    for (int i = 0; i < rows; ++i)
        values.push_back({Value::integer(i), Value::text(label + " " + std::to_string(i))});
    pxfixture::TableLayout layout;
    layout.keyFields = 1;
    layout.fields = {{"ID", FieldType::Long, 4, 0}, {"NAME", FieldType::Alpha, 20, 0}};
    pxfixture::writeTable(folder.file("parents.db"), layout, values);
}

QString path(const TempDir& dir) {
    return QString::fromStdString(dir.path());
}

class Journal : public ::testing::Test {
  protected:
    void SetUp() override {
        dsn_ = TestDatabases::newMariaDbDsn();
        if (dsn_.isEmpty())
            GTEST_SKIP() << "MariaDB is not installed";
        writeParents(old_, 3);
        ASSERT_EQ(transfer({"--typed", path(old_), dsn_}).status, 0);
        addChild("C1", "ON UPDATE CASCADE ON DELETE RESTRICT");
        addChild("C2", "ON UPDATE RESTRICT ON DELETE CASCADE");
        keysBefore_ = keys();
        writeParents(fresh_, 5, "fresh");
    }
    void addChild(const QString& name, const QString& rules) {
        TestDatabases::execute(dsn_, "CREATE TABLE \"" + name + "\" (\"P\" INTEGER, CONSTRAINT \"" +
                                         name + "_fk\" FOREIGN KEY (\"P\") REFERENCES " +
                                         "\"PARENTS\" (\"ID\") " + rules + ")");
        TestDatabases::execute(dsn_, "INSERT INTO \"" + name + "\" VALUES (1)");
    }
    // Every foreign key of the database with its table and rules.
    QStringList keys() const {
        QStringList found;
        for (const QStringList& row :
             queryRows(dsn_,
                       "SELECT t.table_name, r.constraint_name, r.update_rule, r.delete_rule, "
                       "r.referenced_table_name FROM information_schema.referential_constraints "
                       "r JOIN information_schema.table_constraints t ON t.constraint_name = "
                       "r.constraint_name AND t.constraint_schema = r.constraint_schema WHERE "
                       "r.constraint_schema = database() ORDER BY t.table_name"))
            found << row.join(" ");
        return found;
    }
    QString openSteps() const {
        return queryRows(dsn_,
                         R"(SELECT count(*) FROM "morvane_journal" WHERE "state" = 'open')")[0][0];
    }
    QStringList names() const {
        QStringList found;
        for (const QStringList& row :
             queryRows(dsn_, R"(SELECT "NAME" FROM "PARENTS" ORDER BY "ID")"))
            found << row[0];
        return found;
    }
    QStringList replacement() const {
        return {"--typed", "--overwrite", path(fresh_), dsn_, "PARENTS"};
    }
    // The state after the run that comes after one ended part-way: everything as a replacement
    // that went through leaves it, and the repair said.
    void expectRepairedByTheNextRun(const std::string& step) {
        SCOPED_TRACE(step);
        const TransferRun next = transfer(replacement());
        EXPECT_EQ(next.status, 0) << next.err.toStdString();
        EXPECT_TRUE(next.err.contains("Repaired: PARENTS: a ")) << next.err.toStdString();
        EXPECT_EQ(keys(), keysBefore_);
        EXPECT_EQ(names().size(), 5) << names().join(", ").toStdString();
        EXPECT_EQ(tablesOf(dsn_), (QStringList{"C1", "C2", "PARENTS"}));
        EXPECT_EQ(openSteps(), "0");
    }

    QString dsn_;
    TempDir old_, fresh_;
    QStringList keysBefore_;
};

}  // namespace

// Killed at each statement of a replacement: each drop of another table's key, the drop of the
// old table, the rename, each key made again. The run is made to wait at the step by a lock the
// test holds (handed on, lock by lock, to reach the later steps), and killed there.
TEST_F(Journal, AReplacementKilledAtAnyStepIsCompletedByTheNextRun) {
    struct Step {
        const char* name;
        std::vector<std::pair<QString, QString>> gates;  // table held, statement waited at
    };
    const QString work = "PARENTS__morvane_new";
    const std::vector<Step> steps = {
        {"the drop of C1's key", {{"C1", R"(DROP FOREIGN KEY "C1_fk")"}}},
        {"the drop of C2's key", {{"C2", R"(DROP FOREIGN KEY "C2_fk")"}}},
        {"the drop of the old table", {{"PARENTS", R"(DROP TABLE "PARENTS")"}}},
        {"the rename", {{"PARENTS", R"(DROP TABLE "PARENTS")"}, {work, R"(RENAME TO "PARENTS")"}}},
        {"C1's key made again",
         {{"PARENTS", R"(DROP TABLE "PARENTS")"}, {"C1", R"(ADD CONSTRAINT "C1_fk")"}}},
        {"C2's key made again",
         {{"PARENTS", R"(DROP TABLE "PARENTS")"}, {"C2", R"(ADD CONSTRAINT "C2_fk")"}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        QProcess run;
        std::unique_ptr<ReadingSession> hold =
            std::make_unique<ReadingSession>(dsn_, step.gates[0].first);
        startTransfer(run, replacement());
        for (size_t gate = 0; gate < step.gates.size(); ++gate) {
            ASSERT_TRUE(TestDatabases::waitForStatement(dsn_, step.gates[gate].second))
                << step.gates[gate].second.toStdString();
            if (gate + 1 < step.gates.size()) {
                auto next = std::make_unique<ReadingSession>(dsn_, step.gates[gate + 1].first);
                hold = std::move(next);  // the earlier lock goes, the run goes on to the next
            }
        }
        ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
        finishedTransfer(run);
        hold.reset();
        EXPECT_NE(openSteps(), "0") << "the killed run left its steps in the journal";
        expectRepairedByTheNextRun(step.name);
    }
}

// A second Ctrl-C while a drop waits ends the program at once: it prints the statements that
// finish what it leaves, and writes the report asked for; the next run finishes them.
TEST_F(Journal, ADoubleCtrlCLeavesItsStepsToTheNextRunAndSaysThem) {
    TempDir reports;
    const std::string report = reports.file("report.json");
    QProcess run;
    {
        const ReadingSession hold(dsn_, "C2");
        startTransfer(run, replacement() + QStringList{"--report", QString::fromStdString(report)});
        ASSERT_TRUE(TestDatabases::waitForStatement(dsn_, R"(DROP FOREIGN KEY "C2_fk")"));
        // C1's key is dropped: the journal holds what makes it again.
        ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
        ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
        const TransferRun ended = finishedTransfer(run);
        EXPECT_EQ(ended.status, 143) << ended.err.toStdString();
        if (ended.err.contains("ended at once")) {
            EXPECT_TRUE(ended.err.contains(R"(ADD CONSTRAINT "C1_fk" FOREIGN KEY ("P"))"))
                << ended.err.toStdString();
        }
    }
    EXPECT_TRUE(QFile::exists(QString::fromStdString(report)));
    expectRepairedByTheNextRun("after a double Ctrl-C");
}

// A connection lost while a drop waits: the keys dropped so far cannot be made again on it, and
// the run says so; the next run makes them.
TEST_F(Journal, ALostConnectionLeavesItsStepsToTheNextRun) {
    QProcess run;
    {
        const ReadingSession hold(dsn_, "PARENTS");
        startTransfer(run, replacement());
        ASSERT_TRUE(TestDatabases::waitForStatement(dsn_, R"(DROP TABLE "PARENTS")"));
        const QString id = queryRows(dsn_,
                                     "SELECT id FROM information_schema.processlist WHERE info "
                                     "LIKE 'DROP TABLE%PARENTS%'")[0][0];
        TestDatabases::execute(dsn_, "KILL CONNECTION " + id);
        const TransferRun lost = finishedTransfer(run);
        EXPECT_EQ(lost.status, 1) << lost.err.toStdString();
    }
    expectRepairedByTheNextRun("after a lost connection");
}

// Two runs at once: the one that starts second never finishes the steps of the one at work,
// which ends well once it may go on.
TEST_F(Journal, ARunNeverCompletesTheStepsOfARunAtWork) {
    QProcess first;
    {
        const ReadingSession hold(dsn_, "PARENTS");
        startTransfer(first, replacement());
        ASSERT_TRUE(TestDatabases::waitForStatement(dsn_, R"(DROP TABLE "PARENTS")"));
        const TransferRun second = transfer({"--repair", dsn_});
        EXPECT_EQ(second.status, 0) << second.err.toStdString();
        EXPECT_TRUE(second.err.contains("is at work on this target: its steps are left to it"))
            << second.err.toStdString();
        EXPECT_FALSE(second.err.contains("Repaired:")) << second.err.toStdString();
    }
    const TransferRun done = finishedTransfer(first);
    EXPECT_EQ(done.status, 0) << done.err.toStdString();
    EXPECT_EQ(keys(), keysBefore_);
    EXPECT_EQ(names().first(), "fresh 0");
    EXPECT_EQ(openSteps(), "0");
}

// A new table killed between the commit of its rows and its check: its work table is no copy
// yet (the work table the journal does not know would be kept as the only copy); the next run
// drops it and copies the table again, exit 0.
TEST_F(Journal, ANewTableKilledBeforeItsCheckIsCopiedAgain) {
    TempDir folder;
    pxfixture::TableLayout layout;
    layout.keyFields = 1;
    layout.fields = {{"ID", FieldType::Long, 4, 0}, {"NAME", FieldType::Alpha, 20, 0}};
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 20000; ++i)
        rows.push_back({Value::integer(i), Value::text("row " + std::to_string(i))});
    pxfixture::writeTable(folder.file("newt.db"), layout, rows);
    QProcess run;
    startTransfer(run, {"--typed", path(folder), dsn_});
    // Once its work table is made, a read of it in an open transaction: the rows still go in and
    // commit, and the key the run then gives the copy before its check waits.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!tablesOf(dsn_).contains("NEWT__morvane_new") &&
           std::chrono::steady_clock::now() < deadline) {
    }
    {
        const ReadingSession hold(dsn_, "NEWT__morvane_new");
        ASSERT_TRUE(TestDatabases::waitForStatement(
            dsn_, R"(ALTER TABLE "NEWT__morvane_new" ADD PRIMARY KEY)"));
        ::kill(static_cast<pid_t>(run.processId()), SIGKILL);
        finishedTransfer(run);
    }
    EXPECT_EQ(queryRows(dsn_, R"(SELECT count(*) FROM "NEWT__morvane_new")")[0][0], "20000");

    const TransferRun next = transfer({"--typed", path(folder), dsn_});
    EXPECT_EQ(next.status, 0) << next.err.toStdString();
    EXPECT_TRUE(next.err.contains("Repaired: NEWT: a copy ended part-way at ") &&
                next.err.contains("its unfinished copy NEWT__morvane_new was dropped"))
        << next.err.toStdString();
    EXPECT_TRUE(next.err.contains("NEWT (table 1 of 1): 20000 of 20000 rows"))
        << next.err.toStdString();
    EXPECT_EQ(queryRows(dsn_, R"(SELECT count(*) FROM "NEWT")")[0][0], "20000");
    EXPECT_EQ(tablesOf(dsn_), (QStringList{"C1", "C2", "NEWT", "PARENTS"}));
}
