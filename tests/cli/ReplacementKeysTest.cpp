// Replacing a table that other tables refer to, on a target whose definitions commit at once
// (MariaDB, as SQL Anywhere) and on one that takes them back (PostgreSQL): the other tables'
// foreign keys come back with their own rules, a replacement that stops part-way leaves every
// key and the old table as they were, and a copy that could not take them back replaces nothing.
#include <gtest/gtest.h>

#include <QCheckBox>

#include <QProcess>

#include <signal.h>

#include <chrono>
#include <thread>

#include "ado/Connection.h"
#include "fixture/ParadoxWriter.h"
#include "fixture/ValidityWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TablesScreen.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

// A keyed table PARENTS of `rows` rows, ID 0 to rows - 1.
void writeParents(const TempDir& folder, int rows) {
    std::vector<std::vector<Value>> values;
    for (int i = 0; i < rows; ++i)
        values.push_back({Value::integer(i), Value::text("parent " + std::to_string(i))});
    pxfixture::TableLayout layout;
    layout.keyFields = 1;
    layout.fields = {{"ID", FieldType::Long, 4, 0}, {"NAME", FieldType::Alpha, 20, 0}};
    pxfixture::writeTable(folder.file("parents.db"), layout, values);
}

QString path(const TempDir& dir) {
    return QString::fromStdString(dir.path());
}

class ReplacementKeys : public ::testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        dsn_ = TestDatabases::newDsnOn(GetParam());
        if (dsn_.isEmpty())
            GTEST_SKIP() << GetParam() << " is not installed";
        writeParents(old_, 3);
        ASSERT_EQ(transfer({"--typed", path(old_), dsn_}).status, 0);
    }
    bool mariaDb() const { return GetParam() == "mariadb"; }
    // A child table referring to PARENTS with `rules` ("ON UPDATE ... ON DELETE ...").
    void addChild(const QString& name, const QString& rules, int parent = 1) {
        TestDatabases::execute(dsn_, "CREATE TABLE \"" + name + "\" (\"P\" INTEGER, CONSTRAINT \"" +
                                         name +
                                         "_fk\" FOREIGN KEY (\"P\") REFERENCES \"PARENTS\" "
                                         "(\"ID\") " +
                                         rules + ")");
        TestDatabases::execute(
            dsn_, "INSERT INTO \"" + name + "\" VALUES (" + QString::number(parent) + ")");
    }
    // Every foreign key of the database: its table, name and rules.
    QStringList keys() const {
        QStringList found;
        const QString schema = mariaDb() ? "database()" : "current_schema()";
        for (const QStringList& row :
             queryRows(dsn_,
                       "SELECT t.table_name, r.constraint_name, r.update_rule, "
                       "r.delete_rule FROM information_schema.referential_constraints r "
                       "JOIN information_schema.table_constraints t ON t.constraint_name "
                       "= r.constraint_name AND t.constraint_schema = r.constraint_schema "
                       "WHERE r.constraint_schema = " +
                           schema + " ORDER BY t.table_name, r.constraint_name"))
            found << row.join(" ");
        return found;
    }
    QString parents() const { return queryRows(dsn_, R"(SELECT count(*) FROM "PARENTS")")[0][0]; }
    QString dsn_;
    TempDir old_;
};

}  // namespace

// Keys of every rule come back as they were after a typed overwrite, PostgreSQL's deferrable
// ones included; the copy keeps its table's own name for its key and counter.
TEST_P(ReplacementKeys, OtherTablesKeysComeBackWithTheirOwnRules) {
    const QStringList actions =
        mariaDb() ? QStringList{"RESTRICT", "CASCADE", "SET NULL", "NO ACTION"}
                  : QStringList{"RESTRICT", "CASCADE", "SET NULL", "NO ACTION", "SET DEFAULT"};
    int n = 0;
    for (const QString& update : actions)
        for (const QString& remove : actions)
            addChild(QString("c%1").arg(n++), "ON UPDATE " + update + " ON DELETE " + remove);
    if (!mariaDb())
        addChild("deferred", "ON UPDATE SET NULL ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED");
    // psqlODBC's own view of the rules, to compare deferral too.
    const QString deferral =
        "SELECT conname, condeferrable, condeferred FROM pg_constraint WHERE contype = 'f' "
        "ORDER BY conname";
    const QStringList before = keys();
    const auto deferredBefore = mariaDb() ? std::vector<QStringList>{} : queryRows(dsn_, deferral);
    ASSERT_EQ(before.size(), size_t(n) + (mariaDb() ? 0 : 1));

    TempDir fresh;
    writeParents(fresh, 5);
    const TransferRun run = transfer({"--typed", "--overwrite", path(fresh), dsn_});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(parents(), "5");
    EXPECT_EQ(keys(), before);
    if (!mariaDb()) {
        EXPECT_EQ(queryRows(dsn_, deferral), deferredBefore);
        EXPECT_EQ(queryRows(dsn_,
                            "SELECT conname FROM pg_constraint WHERE contype = 'p' "
                            "AND conrelid = '\"PARENTS\"'::regclass")[0][0],
                  "PARENTS_pkey");
    }
}

// A drop that waits on another session's lock on the second referring table: the run's own lock
// timeout or a Ctrl-C during the wait leaves the old table and every key as they were.
TEST_P(ReplacementKeys, AStopWhileAKeyIsDroppedLeavesEveryKeyAndTheOldTable) {
    addChild("c1", "ON UPDATE CASCADE ON DELETE RESTRICT");
    addChild("c2", "ON UPDATE RESTRICT ON DELETE SET NULL");
    const QStringList before = keys();
    TempDir fresh;
    writeParents(fresh, 5);

    ReadingSession holder(dsn_, "c2");
    {
        const TransferRun timedOut =
            transfer({"--typed", "--overwrite", "--lock-wait", "2", path(fresh), dsn_});
        EXPECT_EQ(timedOut.status, 1) << timedOut.err.toStdString();
        EXPECT_TRUE(timedOut.err.contains(
            "Failed: PARENTS: PARENTS was not replaced: the target keeps its table as it was"))
            << timedOut.err.toStdString();
        EXPECT_EQ(keys(), before);
        EXPECT_EQ(parents(), "3");
    }
    QProcess waiting;
    startTransfer(waiting, {"--typed", "--overwrite", path(fresh), dsn_});
    QString seen;
    ASSERT_TRUE(waitForOutput(waiting, seen, "to answer")) << seen.toStdString();
    ::kill(static_cast<pid_t>(waiting.processId()), SIGINT);
    const TransferRun stopped = finishedTransfer(waiting, 30);
    EXPECT_EQ(stopped.status, 130) << (seen + stopped.err).toStdString();
    holder.release();
    EXPECT_EQ(keys(), before) << (seen + stopped.err).toStdString();
    EXPECT_EQ(parents(), "3");
}

// Ctrl-C while the foreign keys are made, after the last table: the key being made is cancelled,
// no other is begun, and the run names the tables that lack their keys.
TEST(Relationships, ACtrlCLeavesTheRestOutAndNamesTheTablesWithoutTheirKeys) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "no PostgreSQL";
    TestDatabases::slowDefinitions(dsn, "FOREIGN KEY", 2);
    TempDir folder;
    writeParents(folder, 3);
    for (const char* name : {"kida", "kidb"})
        pxfixture::writeChildTable(folder.path(), name, "PARENTS.DB");
    QProcess run;
    startTransfer(run, {"--typed", path(folder), dsn});
    // Signalled while the first foreign key is made.
    ASSERT_TRUE(TestDatabases::waitForStatement(dsn, "ADD CONSTRAINT"));
    ::kill(static_cast<pid_t>(run.processId()), SIGINT);
    const TransferRun stopped = finishedTransfer(run, 30);
    const QString& err = stopped.err;
    EXPECT_EQ(stopped.status, 130) << err.toStdString();
    // The key being made is cancelled too: both tables are named.
    EXPECT_EQ(err.count("its foreign keys were not made: the run was stopped"), 2)
        << err.toStdString();
    EXPECT_EQ(queryRows(dsn, "SELECT count(*) FROM pg_constraint WHERE contype = 'f'")[0][0], "0");
    EXPECT_TRUE(err.contains("Copied 3 of 3 tables")) << err.toStdString();
}

// A copy that lacks a row another table refers to, or that has no key for them to refer to,
// replaces nothing, and the message names why.
TEST_P(ReplacementKeys, ACopyThatCannotTakeTheKeysBackReplacesNothing) {
    TestDatabases::execute(dsn_, R"(INSERT INTO "PARENTS" VALUES (999, 'added on the target'))");
    addChild("kid_o", "ON UPDATE CASCADE ON DELETE RESTRICT", 999);
    const QStringList before = keys();
    TempDir fresh;
    writeParents(fresh, 5);

    const TransferRun lacking = transfer({"--typed", "--overwrite", path(fresh), dsn_});
    EXPECT_EQ(lacking.status, 1) << lacking.err.toStdString();
    EXPECT_TRUE(
        lacking.err.contains("PARENTS was not replaced: the target keeps its table as it "
                             "was: kid_o refers to ID 999, which the new copy lacks"))
        << lacking.err.toStdString();
    EXPECT_EQ(parents(), "4");
    EXPECT_EQ(keys(), before);

    const TransferRun unkeyed = transfer({"--overwrite", path(fresh), dsn_});
    EXPECT_EQ(unkeyed.status, 1) << unkeyed.err.toStdString();
    EXPECT_TRUE(
        unkeyed.err.contains("kid_o refers to PARENTS (ID), and the new copy has no key "
                             "on it: copy it with its key (--typed"))
        << unkeyed.err.toStdString();
    EXPECT_EQ(parents(), "4");
    EXPECT_EQ(keys(), before);
}

INSTANTIATE_TEST_SUITE_P(Targets, ReplacementKeys, ::testing::Values("postgres", "mariadb"));

// A new table whose check finds a difference leaves nothing under its name, and the next run
// copies it again.
TEST(NewTables, ANewTableThatFailsItsCheckLeavesNothing) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    // Every new table's NAME is changed on its way in, once.
    TestDatabases::execute(dsn, R"(CREATE FUNCTION spoil() RETURNS trigger LANGUAGE plpgsql AS
        $$ BEGIN NEW."NAME" := NEW."NAME" || '!'; RETURN NEW; END $$)");
    TestDatabases::onEveryNewTable(
        dsn, "spoil_new",
        "CREATE TRIGGER spoil BEFORE INSERT ON %s FOR EACH ROW EXECUTE FUNCTION spoil()");
    TempDir folder;
    writeParents(folder, 3);
    for (const QStringList& mode : {QStringList{}, QStringList{"--typed"}}) {
        const TransferRun run = transfer(mode + QStringList{path(folder), dsn});
        EXPECT_EQ(run.status, 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Copied 0 of 1 tables, 1 failed")) << run.err.toStdString();
        EXPECT_TRUE(tablesOf(dsn).isEmpty());
    }
    // The window's copy with "Keep Paradox types, keys and rules" the same: one error box.
    {
        TablesScreen screen(dsn);
        writeParents(screen.paradox, 3);
        screen.reload();
        screen.form2().Check1->click();
        TablesScreen::select(*screen.form2().List2, {"PARENTS"});
        screen.form2().PushButton4_Click();
        const QStringList errors = screen.test.dialogs.texts("error");
        ASSERT_EQ(errors.size(), 1) << errors.join("\n").toStdString();
        EXPECT_TRUE(errors[0].contains("differs from its source")) << errors[0].toStdString();
        EXPECT_TRUE(tablesOf(dsn).isEmpty());
        EXPECT_TRUE(TablesScreen::entries(*screen.form2().List1).isEmpty());
    }
    TestDatabases::execute(dsn, "DROP EVENT TRIGGER spoil_new");
    const TransferRun again = transfer({"--typed", path(folder), dsn});
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_EQ(queryRows(dsn, R"(SELECT count(*) FROM "PARENTS")")[0][0], "3");
}
