// The transfer into real target databases.
#include <gtest/gtest.h>

#include <QCheckBox>

#include <filesystem>

#include "ado/Connection.h"
#include "app/Shell.h"
#include "operations/TableTransfer.h"
#include "runtime/ErrorTrap.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/ScriptedDialogs.h"
#include "support/TablesScreen.h"
#include "ui/ProgressBar.h"

using px::FieldType;
using px::Value;

namespace {

const std::vector<px::Field> kPeople = {{"ID", FieldType::Long, 4, 0},
                                        {"NAME", FieldType::Alpha, 20, 0},
                                        {"SHIPPED", FieldType::Date, 4, 0}};

QStringList flatRows(const QString& dsn, const QString& sql) {
    QStringList flat;
    for (const QStringList& row : queryRows(dsn, sql))
        flat << row.join("|");
    return flat;
}

class Transfer : public ::testing::Test {
  protected:
    Transfer() : screen(TestDatabases::newSqliteDsn()) {}
    void send(const QStringList& names) {
        screen.reload();
        TablesScreen::select(*screen.form2().List2, names);
        screen.form2().PushButton4_Click();
    }
    QStringList errors() const { return screen.test.dialogs.texts("error"); }

    TablesScreen screen;
};

}  // namespace

TEST_F(Transfer, CopiesStructureAndRowsWithNullsAndQuotes) {
    screen.writeParadoxTable(
        "orders.db", kPeople,
        {{Value::integer(17), Value::text("can't"), Value()},
         {Value(), Value::text(""), Value::date(px::dayNumberFromCivil(1999, 12, 31))},
         {Value::integer(-3), Value(), Value()}});
    send({"ORDERS"});
    EXPECT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
    EXPECT_EQ(
        flatRows(screen.dsn, R"(SELECT "ID", "NAME", "SHIPPED" FROM "ORDERS" ORDER BY rowid)"),
        (QStringList{"17|can't|NULL", "NULL|NULL|1999-12-31", "-3|NULL|NULL"}));
    EXPECT_EQ(flatRows(screen.dsn, R"(SELECT type FROM pragma_table_info('ORDERS'))"),
              (QStringList{"NUMERIC", "TEXT", "TEXT"}));
    Form2& form = screen.form2();
    EXPECT_EQ(TablesScreen::entries(*form.List1), QStringList{"ORDERS"});
    EXPECT_EQ(form.ProgressBar1->percent(), 0);
    EXPECT_EQ(form.ProgressBar1->caption(), "Progress Bar");
    EXPECT_EQ(form.MousePointer.value(), ScreenPointer::Default);
    // The Paradox list keeps its selection and current entry.
    EXPECT_EQ(form.List2->selectedCount(), 1);
    EXPECT_EQ(form.List2->listIndex(), 0);
}

TEST_F(Transfer, NothingChosenAndNothingSelected) {
    screen.writeParadoxTable("a.db", kPeople, {});
    screen.reload();
    screen.form2().PushButton4_Click();
    EXPECT_EQ(screen.test.dialogs.texts("message"), QStringList{"Please select a table to send."});
    screen.test.dialogs.clear();
    screen.form2().List2->setListIndex(0);
    screen.form2().PushButton4_Click();
    EXPECT_TRUE(screen.test.dialogs.calls().empty());
    EXPECT_TRUE(queryRows(screen.dsn, "SELECT name FROM sqlite_master").empty());
}

TEST_F(Transfer, WalksFromTheLastEntryToTheFirstAndTimestampsBecomeTEXt) {
    const std::vector<px::Field> stamped = {{"At", FieldType::Timestamp, 8, 0},
                                            {"Money", FieldType::Money, 8, 0}};
    for (const char* name : {"a.db", "b.db", "c.db"})
        screen.writeParadoxTable(name, stamped, {});
    send({"A", "B", "C"});
    EXPECT_EQ(flatRows(screen.dsn,
                       "SELECT name FROM sqlite_master WHERE type='table' AND name <> "
                       "'morvane_journal' ORDER BY rowid"),
              (QStringList{"C", "B", "A"}));
    // The statement as the database keeps it: the type word spelled as sent.
    EXPECT_EQ(flatRows(screen.dsn, "SELECT sql FROM sqlite_master WHERE name='A'"),
              QStringList{R"(CREATE TABLE "A"("At" TEXt,"Money" TEXT))"});
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), (QStringList{"A", "B", "C"}));
}

TEST_F(Transfer, OverwriteQuestionUsesTheTargetsSpellingAndNoLeavesTheTable) {
    TestDatabases::execute(screen.dsn, R"(CREATE TABLE "Orders"("old" TEXT);)");
    TestDatabases::execute(screen.dsn, R"(INSERT INTO "Orders" VALUES('kept'))");
    screen.writeParadoxTable("orders.db", kPeople,
                             {{Value::integer(1), Value::text("new"), Value()}});
    screen.test.dialogs.answerQuestion(false);
    send({"ORDERS"});
    ASSERT_EQ(screen.test.dialogs.calls().size(), 1u);
    EXPECT_EQ(screen.test.dialogs.calls()[0].title, "Overwrite?");
    EXPECT_EQ(screen.test.dialogs.calls()[0].text, "Would you like to overwrite Orders?");
    EXPECT_EQ(flatRows(screen.dsn, R"(SELECT * FROM "Orders")"), QStringList{"kept"});

    screen.test.dialogs.answerQuestion(true);
    send({"ORDERS"});
    EXPECT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
    EXPECT_EQ(flatRows(screen.dsn, R"(SELECT * FROM "Orders")"), QStringList{"1|new|NULL"});
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"Orders"});
}

// The table after a skipped one runs under the default pointer, like the one after a copied one.
TEST_F(Transfer, AFailedDropLeavesTheTableAlone) {
    screen.writeParadoxTable("ghost.db", kPeople, {{Value::integer(1), Value(), Value()}});
    screen.writeParadoxTable("after.db", kPeople, {{Value::integer(1), Value(), Value()}});
    screen.reload();
    screen.form2().List1->addEntry("GHOST");  // listed, but not in the database
    screen.form2().List1->addEntry("AFTER");
    TablesScreen::select(*screen.form2().List2, {"GHOST", "AFTER"});
    screen.test.dialogs.answerQuestion(true);
    screen.test.dialogs.answerQuestion(false);
    QList<int> pointers;
    screen.test.dialogs.whileAsking = [&] { pointers << screen.form2().MousePointer.value(); };
    screen.form2().PushButton4_Click();
    EXPECT_EQ(pointers, (QList<int>{ScreenPointer::Hourglass, ScreenPointer::Default}));
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].contains("no such table")) << errors()[0].toStdString();
    EXPECT_TRUE(errors()[0].contains("Form2.PushButton4_Click at line 144"));
    EXPECT_TRUE(tablesOf(screen.dsn).isEmpty());
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), (QStringList{"AFTER", "GHOST"}));
}

TEST_F(Transfer, AFailedCreateSendsNoRowAndListsNothing) {
    // A table whose name holds "SYS" exists but is never listed.
    TestDatabases::execute(screen.dsn, R"(CREATE TABLE "MYSYS"("other" TEXT);)");
    screen.writeParadoxTable("mysys.db", kPeople, {{Value::integer(1), Value::text("x"), Value()}});
    send({"MYSYS"});
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].contains("at line 210"));
    EXPECT_TRUE(queryRows(screen.dsn, R"(SELECT * FROM "MYSYS")").empty());
    EXPECT_TRUE(TablesScreen::entries(*screen.form2().List1).isEmpty());
}

TEST_F(Transfer, ATargetThatCannotBeOpenedIsReportedOnceAndEndsTheTransfer) {
    for (const char* name : {"a.db", "b.db"})
        screen.writeParadoxTable(name, kPeople, {{Value::integer(1), Value(), Value()}});
    screen.reload();
    screen.form1->Text2->setText("NoSuchDsnAnywhere");
    TablesScreen::select(*screen.form2().List2, {"A", "B"});
    screen.form2().PushButton4_Click();
    ASSERT_EQ(errors().size(), 1);
    EXPECT_TRUE(errors()[0].contains("at line 118"));
    EXPECT_EQ(screen.form2().MousePointer.value(), ScreenPointer::Default);
}

TEST_F(Transfer, DamagedTablesInABatchAreReportedOnceEachAndTheRestArrive) {
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 300; ++i)
        rows.push_back({Value::integer(i), Value::text("row"), Value()});
    QStringList names;
    for (int t = 0; t < 10; ++t) {
        const std::string file = "t" + std::to_string(t) + ".db";
        screen.writeParadoxTable(file, kPeople, rows);
        names << QString("T%1").arg(t);
    }
    // Truncated, a looping block chain, and memo fields whose blob file is missing.
    std::filesystem::resize_file(screen.paradox.file("t2.db"), 2048 + 3000);
    std::string looping = readWholeFile(screen.paradox.file("t5.db"));
    looping[2048 + 2 * 2048] = 2;
    looping[2048 + 2 * 2048 + 1] = 0;
    writeWholeFile(screen.paradox.file("t5.db"), looping);
    pxfixture::writeTable(screen.paradox.file("t8.db"),
                          {12, 2, 1252, {{"M", FieldType::Memo, 11, 0}}},
                          {{Value::text(std::string(500, 'm'))}});
    std::filesystem::remove(screen.paradox.file("t8.mb"));
    // Each is asked about first; No leaves it to fail on its damage.
    for (int damaged = 0; damaged < 3; ++damaged)
        screen.test.dialogs.answerQuestion(false);
    send(names);
    const QStringList reported = errors();
    ASSERT_EQ(reported.size(), 3) << reported.join("\n").toStdString();
    EXPECT_TRUE(reported[0].contains("t8.db") && reported[0].contains("is missing"));
    EXPECT_TRUE(reported[1].contains("t5.db") && reported[1].contains("loops"));
    EXPECT_TRUE(reported[2].contains("t2.db"));
    for (int t : {0, 1, 3, 4, 6, 7, 9})
        EXPECT_EQ(queryRows(screen.dsn, QString("SELECT count(*) FROM \"T%1\"").arg(t))[0][0],
                  "300");
    EXPECT_EQ(screen.form2().List1->count(), 7);
}

TEST_F(Transfer, HostileNamesTravelIntact) {
    const std::vector<px::Field> fields = {{"say \"hi\"", FieldType::Alpha, 10, 0},
                                           {"semi;colon", FieldType::Alpha, 10, 0},
                                           {"it's", FieldType::Alpha, 10, 0}};
    pxfixture::writeTable(screen.paradox.file("we\"ird'; name.db"), {12, 2, 1252, fields},
                          {{Value::text("a\"b"), Value::text("c;d"), Value::text("e'f")}});
    send({"WE\"IRD'; NAME"});
    EXPECT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
    EXPECT_EQ(flatRows(screen.dsn, R"(SELECT * FROM "WE""IRD'; NAME")"),
              QStringList{"a\"b|c;d|e'f"});
    EXPECT_EQ(flatRows(screen.dsn, R"(SELECT name FROM pragma_table_info('WE"IRD''; NAME'))"),
              (QStringList{"say \"hi\"", "semi;colon", "it's"}));
}

TEST_F(Transfer, TablesFromSubfoldersAreReadFromTheirOwnFile) {
    std::filesystem::create_directories(screen.paradox.file("sub"));
    screen.writeParadoxTable("orders.db", kPeople,
                             {{Value::integer(1), Value::text("top"), Value()}});
    screen.writeParadoxTable("sub/a.dbase.db", kPeople,
                             {{Value::integer(2), Value::text("deep"), Value()}});
    send({"AASE"});
    EXPECT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
    EXPECT_EQ(flatRows(screen.dsn, R"(SELECT "NAME" FROM "AASE")"), QStringList{"deep"});
}

TEST_F(Transfer, ClicksDuringARunningOperationAreIgnored) {
    screen.writeParadoxTable("a.db", kPeople, {{Value::integer(1), Value(), Value()}});
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"A"});
    // A click that arrives while the transfer asks its question starts nothing.
    TestDatabases::execute(screen.dsn, R"(CREATE TABLE "A"("x" TEXT);)");
    screen.form2().List1->addEntry("A");
    struct ClickWhileAsking : ScriptedDialogs {
        Form2* form = nullptr;
        bool showBox(QWidget* owner, const Box& box) override {
            EXPECT_TRUE(form->operationRunning());
            form->PushButton4_Click();
            form->PushButton5_Click();
            return ScriptedDialogs::showBox(owner, box);
        }
    };
    ClickWhileAsking dialogs;
    dialogs.form = &screen.form2();
    dialogs.answerQuestion(false);
    Runtime runtime{screen.test.runtime.applicationFolder,
                    dialogs,
                    screen.test.settings,
                    [] { return 1; },
                    [](const QUrl&) {},
                    [] {},
                    [] {}};
    Shell form1Shell(runtime);
    Form1& form1 = form1Shell.connectionScreen();
    form1.Text1->setText(screen.folder());
    form1.Text2->setText(screen.dsn);
    Form2& form = form1Shell.tablesScreen();
    form.List1->addEntry("A");
    TablesScreen::select(*form.List2, {"A"});
    dialogs.form = &form;
    form.PushButton4_Click();
    EXPECT_EQ(dialogs.texts("question").size(), 1);
    EXPECT_FALSE(form.operationRunning());
    EXPECT_TRUE(std::filesystem::exists(screen.paradox.file("a.db")));
}

namespace {

// A transfer without a window, as the command line runs it.
struct Unobserved : TransferObserver {
    void rowStarting(long long, long long) override {}
    void tableEnded() override {}
    void targetDropped(const QString&) override {}
    void targetCreated(const QString&) override {}
};

// Copies every table of the folder in the given mode; the errors reported.
QStringList copyWithoutAWindow(const QString& folder, const QString& dsn, TableTransfer::Mode mode,
                               const std::vector<TableEntry>& tables) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, nullptr, "test");
    Unobserved observer;
    TableTransfer transfer(trap, dialogs, nullptr, observer, {}, mode);
    if (transfer.open({folder, dsn}))
        for (const TableEntry& table : tables)
            transfer.copy(table);
    transfer.close();
    return dialogs.texts("error");
}

}  // namespace

// A server that reads escapes inside string literals (SQL Anywhere does; PostgreSQL with
// standard_conforming_strings off stands in for it) stores each text as it was sent, in both
// modes: values travel as bound parameters, never inside a statement's text.
TEST(ValuesAsParameters, BackslashesQuotesAndLineBreaksArriveByteIdenticalInBothModes) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    const QString database = queryRows(dsn, "SELECT current_database()")[0][0];
    TestDatabases::execute(
        dsn, "ALTER DATABASE \"" + database + "\" SET standard_conforming_strings = off");
    ASSERT_EQ(queryRows(dsn, "SHOW standard_conforming_strings")[0][0], "off");
    const std::vector<std::string> texts = {
        R"(C:\new\x41 folder)", R"(\\server\share\\)",     "ends with a backslash \\",
        "it's \"quoted\"",      "line\nbreak\r\nand\ttab", R"(\'; DROP TABLE "PLAIN"; --)"};
    std::vector<std::vector<Value>> rows;
    for (size_t i = 0; i < texts.size(); ++i)
        rows.push_back({Value::integer(static_cast<int64_t>(i)), Value::text(texts[i]),
                        Value::text(texts[i] + " in a memo")});
    const std::vector<px::Field> fields = {{"N", FieldType::Long, 4, 0},
                                           {"PATH", FieldType::Alpha, 60, 0},
                                           {"NOTE", FieldType::Memo, 11, 0}};
    TablesScreen screen(dsn);
    screen.writeParadoxTable("plain.db", fields, rows);
    screen.writeParadoxTable("fast.db", fields, rows);
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"PLAIN"});
    screen.form2().PushButton4_Click();
    EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty())
        << screen.test.dialogs.texts("error").join("\n").toStdString();
    const QStringList fastErrors =
        copyWithoutAWindow(screen.folder(), dsn, TableTransfer::Mode::Fast,
                           {{"FAST", QString::fromStdString(screen.paradox.file("fast.db"))}});
    EXPECT_TRUE(fastErrors.isEmpty()) << fastErrors.join("\n").toStdString();
    for (const char* table : {"PLAIN", "FAST"}) {
        const std::vector<QStringList> stored = queryRows(
            dsn,
            QString(R"(SELECT "PATH", "NOTE" FROM "%1" ORDER BY CAST("N" AS INTEGER))").arg(table));
        ASSERT_EQ(stored.size(), texts.size()) << table;
        for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(stored[i][0], QString::fromStdString(texts[i])) << table;
            EXPECT_EQ(stored[i][1], QString::fromStdString(texts[i] + " in a memo")) << table;
        }
    }
}

// Yes to "Overwrite?" for a source that cannot be read whole: the damage is reported at the
// line of the step that met it, part-way through the copy, and the target keeps its table
// exactly as it was.
TEST_F(Transfer, AnOverwriteNeverCostsTheTargetItsTableForASourceThatCannotBeRead) {
    const std::vector<px::Field> fields = {{"N", FieldType::Long, 4, 0},
                                           {"NOTE", FieldType::Memo, 11, 0}};
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < 400; ++i)
        rows.push_back(
            {Value::integer(i), Value::text(std::string(200, static_cast<char>('a' + i % 26)))});
    screen.writeParadoxTable("halved.db", fields, rows);
    screen.writeParadoxTable("memo.db", fields, rows);
    send({"HALVED", "MEMO"});
    ASSERT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
    const QString before = flatRows(screen.dsn, R"(SELECT count(*) FROM "HALVED")").join("");

    std::filesystem::resize_file(screen.paradox.file("halved.db"),
                                 std::filesystem::file_size(screen.paradox.file("halved.db")) / 2);
    std::filesystem::resize_file(screen.paradox.file("memo.mb"),
                                 std::filesystem::file_size(screen.paradox.file("memo.mb")) / 2);
    for (int table = 0; table < 2; ++table) {
        screen.test.dialogs.answerQuestion(true);   // overwritten
        screen.test.dialogs.answerQuestion(false);  // not salvaged
    }
    send({"HALVED", "MEMO"});
    ASSERT_EQ(errors().size(), 2) << errors().join("\n").toStdString();
    EXPECT_TRUE(errors()[0].startsWith("MEMO was not replaced: the target keeps its table as it "
                                       "was: ") &&
                errors()[0].contains("memo.mb") && errors()[0].contains("at line 254"))
        << errors()[0].toStdString();
    EXPECT_TRUE(errors()[1].contains("halved.db has a block chain") &&
                errors()[1].contains("at line 148"))
        << errors()[1].toStdString();
    for (const char* table : {"HALVED", "MEMO"})
        EXPECT_EQ(flatRows(screen.dsn, QString(R"(SELECT count(*) FROM "%1")").arg(table)),
                  QStringList{"400"})
            << table;
    EXPECT_EQ(before, "400");
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), (QStringList{"HALVED", "MEMO"}));
}

// A name longer than the target takes is refused at the create statement's line, before the
// drop: PostgreSQL would cut it at 63 bytes without a word.
TEST(LongNames, AreRefusedAtTheCreateLineBeforeAnythingIsWritten) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TestDatabases::execute(dsn, R"(CREATE TABLE "WIDE"("kept" TEXT))");
    TablesScreen screen(dsn);
    screen.writeParadoxTable("wide.db", {{std::string(64, 'c'), FieldType::Long, 4, 0}},
                             {{Value::integer(1)}});
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"WIDE"});
    screen.test.dialogs.answerQuestion(true);
    screen.form2().PushButton4_Click();
    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1) << errors.join("\n").toStdString();
    EXPECT_TRUE(errors[0].startsWith(
        "WIDE was not replaced: the target keeps its table as it was: "
        "The column name \"" +
        QString(64, 'c') + "\" is 64 bytes long; the data source allows 63 bytes."))
        << errors[0].toStdString();
    EXPECT_TRUE(errors[0].contains("Form2.PushButton4_Click at line 210"));
    EXPECT_EQ(queryRows(dsn, R"(SELECT column_name FROM information_schema.columns
                                WHERE table_name = 'WIDE')"),
              std::vector<QStringList>{{"kept"}});
}

// A copy left unfinished is no table of the user's: List1 never shows it, and the next copy of
// its table removes it, in either mode of the window.
TEST_F(Transfer, WorkTablesAreNotListedAndTheNextCopyRemovesThem) {
    screen.writeParadoxTable("orders.db", kPeople,
                             {{Value::integer(1), Value::text("a"), Value()}});
    send({"ORDERS"});
    ASSERT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
    for (const bool typed : {false, true}) {
        TestDatabases::execute(screen.dsn, R"(CREATE TABLE "ORDERS__morvane_new"("x" TEXT))");
        TestDatabases::execute(screen.dsn, R"(INSERT INTO "ORDERS__morvane_new" VALUES('left'))");
        screen.reload();
        EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"ORDERS"});
        if (screen.form2().Check1->isChecked() != typed)
            screen.form2().Check1->click();
        screen.test.dialogs.answerQuestion(true);
        send({"ORDERS"});
        EXPECT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
        EXPECT_EQ(tablesOf(screen.dsn), QStringList{"ORDERS"});
        EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"ORDERS"});
    }
}

// With the box on, Yes to the overwrite question refreshes a keyed table in place: its rows come
// to equal the source's, a change made on the target included, and what the target added to the
// table (an index of its own) stays.
TEST_F(Transfer, YesWithTheBoxOnRefreshesAKeyedTableInPlace) {
    const auto write = [&](const std::string& second) {
        pxfixture::TableLayout layout{12, 2, 1252, kPeople};
        layout.keyFields = 1;
        pxfixture::writeTable(screen.paradox.file("keyed.db"), layout,
                              {{Value::integer(1), Value::text("first"), Value()},
                               {Value::integer(2), Value::text(second), Value()}});
    };
    write("second");
    if (!screen.form2().Check1->isChecked())
        screen.form2().Check1->click();
    send({"KEYED"});
    ASSERT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
    TestDatabases::execute(screen.dsn, R"(CREATE INDEX "target_own" ON "KEYED"("NAME"))");
    TestDatabases::execute(screen.dsn, R"(UPDATE "KEYED" SET "NAME" = 'here' WHERE "ID" = 1)");
    write("changed");

    screen.test.dialogs.answerQuestion(true);
    send({"KEYED"});
    EXPECT_TRUE(errors().isEmpty()) << errors().join("\n").toStdString();
    EXPECT_EQ(screen.test.dialogs.texts("question"),
              QStringList{"Would you like to overwrite KEYED?"});
    EXPECT_EQ(queryRows(screen.dsn, R"(SELECT "NAME" FROM "KEYED" ORDER BY "ID")"),
              (std::vector<QStringList>{{"first"}, {"changed"}}));
    EXPECT_EQ(queryRows(screen.dsn, "SELECT count(*) FROM sqlite_master WHERE name = 'target_own'"),
              (std::vector<QStringList>{{"1"}}));

    // Dropped from the target by the window, the table leaves no record behind.
    const QString records =
        R"(SELECT count(*) FROM "morvane_journal" WHERE "kind" = 'verified copy')";
    EXPECT_EQ(queryRows(screen.dsn, records), (std::vector<QStringList>{{"1"}}));
    screen.reload();
    TablesScreen::select(*screen.form2().List1, {"KEYED"});
    screen.form2().PushButton1_Click();
    EXPECT_EQ(queryRows(screen.dsn, records), (std::vector<QStringList>{{"0"}}));
}
