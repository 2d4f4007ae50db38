// The tables screen: its layout, its load, the selection buttons and the way there and back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <thread>

#include "ado/Connection.h"
#include "app/Shell.h"
#include "data/Settings.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/TablesScreen.h"
#include "ui/ProgressBar.h"
#include "ui/PushButton.h"

using px::FieldType;
using px::Value;

namespace {

QRect twips(int left, int top, int width, int height) {
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0),
                 qRound(height / 15.0));
}

}  // namespace

TEST(Form2Layout, CaptionsGeometryAndTabOrder) {
    TablesScreen screen(TestDatabases::newSqliteDsn());
    Form2& form = screen.form2();
    EXPECT_EQ(form.windowTitle(), "Morvane Conversion Software");
    EXPECT_EQ(form.width(), 536);
    EXPECT_EQ(form.height(), 393);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    const std::vector<std::tuple<QWidget*, QString, QRect>> controls = {
        {form.Frame1, "Sybase iAnywhere Tables", twips(120, 120, 3840, 4215)},
        {form.List1, "", twips(240, 360, 3330, 1635)},
        {form.PushButton10, "Select All", twips(240, 2100, 1600, 400)},
        {form.PushButton11, "Deselect All", twips(1960, 2100, 1600, 400)},
        {form.PushButton3, "Send Table/s To Paradox", twips(240, 2600, 3330, 400)},
        {form.PushButton1, "Delete Table/s", twips(240, 3100, 3330, 400)},
        {form.PushButton6, "Rename Table", twips(240, 3600, 3330, 400)},
        {form.Frame2, "Paradox Tables", twips(4080, 120, 3840, 4215)},
        {form.List2, "", twips(240, 360, 3330, 1635)},
        {form.PushButton8, "Select All", twips(240, 2100, 1600, 405)},
        {form.PushButton9, "Deselect All", twips(1960, 2100, 1600, 405)},
        {form.PushButton4, "Send Table/s To Sybase iAny", twips(240, 2600, 3330, 405)},
        {form.PushButton5, "Delete Table/s", twips(240, 3100, 3330, 405)},
        {form.PushButton7, "Rename Table", twips(240, 3600, 3330, 405)},
        {form.ProgressBar1, "", twips(120, 4460, 7800, 405)},
        {form.PushButton2, "< Back", twips(120, 4980, 3840, 405)},
        {form.PushButton12, "Help", twips(4080, 4980, 3840, 405)},
        {form.Check1, "Keep Paradox types, keys and rules", twips(120, 5460, 3840, 300)},
    };
    for (const auto& [widget, caption, rect] : controls) {
        EXPECT_EQ(widget->geometry(), rect) << widget->objectName().toStdString();
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), caption);
        }
        if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
            EXPECT_EQ(frame->title(), caption);
        }
        if (auto* box = qobject_cast<QCheckBox*>(widget)) {
            EXPECT_EQ(box->text(), caption);
            EXPECT_EQ(box->accessibleName(), caption);
            EXPECT_FALSE(box->isChecked());
        }
        EXPECT_TRUE(widget->isEnabled());
    }
    EXPECT_EQ(form.ProgressBar1->caption(), "Progress Bar");
    // Stop: in the check box's row, and enabled only while a transfer runs.
    EXPECT_EQ(form.PushButton13->geometry(), twips(4080, 5430, 3840, 330));
    EXPECT_EQ(form.PushButton13->text(), "Stop");
    EXPECT_EQ(form.PushButton13->accessibleName(), "Stop the transfer");
    EXPECT_FALSE(form.PushButton13->isEnabled());

    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.List1->setFocus();
    const QList<QWidget*> order = {
        form.List2,       form.PushButton10, form.PushButton11, form.PushButton3, form.PushButton1,
        form.PushButton6, form.PushButton8,  form.PushButton9,  form.PushButton4, form.PushButton5,
        form.PushButton7, form.PushButton2,  form.PushButton12, form.Check1,      form.List1};
    for (QWidget* expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
    }
}

TEST(Form2Load, FillsBothListsSortedIgnoringCaseWithNothingSelected) {
    TablesScreen screen(TestDatabases::newSqliteDsn());
    TestDatabases::execute(screen.dsn, R"(CREATE TABLE "beta"("a" TEXT);)");
    TestDatabases::execute(screen.dsn, R"(CREATE TABLE "Alpha"("a" TEXT);)");
    for (const char* name : {"zeta.db", "Mid.DB", "alpha.db"})
        screen.writeParadoxTable(name, {{"N", FieldType::Long, 4, 0}}, {});
    Form2& form = screen.form2();
    EXPECT_EQ(TablesScreen::entries(*form.List1), (QStringList{"Alpha", "beta"}));
    EXPECT_EQ(TablesScreen::entries(*form.List2), (QStringList{"ALPHA", "MID", "ZETA"}));
    EXPECT_EQ(form.List1->selectedCount() + form.List2->selectedCount(), 0);
    EXPECT_TRUE(screen.test.dialogs.calls().empty());
}

TEST(Form2Load, AFailingTargetListingIsReportedAtLine116AndTheParadoxListStillFills) {
    TablesScreen screen("NoSuchDsnAnywhere");
    screen.writeParadoxTable("one.db", {{"N", FieldType::Long, 4, 0}}, {});
    Form2& form = screen.form2();
    EXPECT_TRUE(TablesScreen::entries(*form.List1).isEmpty());
    EXPECT_EQ(TablesScreen::entries(*form.List2), QStringList{"ONE"});
    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("[unixODBC][Driver Manager]Data source name not found"));
    EXPECT_TRUE(errors[0].contains("Form2.Form_Load at line 116"));
}

TEST(Form2Selection, SelectAndDeselectAllKeepTheCurrentEntry) {
    TablesScreen screen(TestDatabases::newSqliteDsn());
    Form2& form = screen.form2();
    form.PushButton8_Click();  // an empty list: nothing happens
    EXPECT_TRUE(screen.test.dialogs.calls().empty());
    for (const char* name : {"a.db", "b.db", "c.db"})
        screen.writeParadoxTable(name, {{"N", FieldType::Long, 4, 0}}, {});
    screen.reload();
    form.List2->setListIndex(1);
    form.PushButton8_Click();
    EXPECT_EQ(form.List2->selectedCount(), 3);
    EXPECT_EQ(form.List2->listIndex(), 1);
    form.PushButton9_Click();
    EXPECT_EQ(form.List2->selectedCount(), 0);
    EXPECT_EQ(form.List2->listIndex(), 1);
    EXPECT_EQ(form.List1->selectedCount(), 0);
}

TEST(Form2Moves, StartUpMovesOnlyWhenBothSidesAreUsable) {
    TablesScreen screen(TestDatabases::newSqliteDsn());
    screen.writeParadoxTable("one.db", {{"N", FieldType::Long, 4, 0}}, {});
    screen.test.settings.write("ParadoxFolder", screen.folder());
    screen.test.settings.write("DataSourceName", screen.dsn);
    {
        Shell startedShell(screen.test.runtime);
        Form1& started = startedShell.connectionScreen();
        startedShell.start();
        ASSERT_TRUE(startedShell.hasTablesScreen());
        EXPECT_TRUE(startedShell.tablesScreen().isVisible());
        EXPECT_FALSE(started.isVisible());
        EXPECT_EQ(TablesScreen::entries(*startedShell.tablesScreen().List2), QStringList{"ONE"});
        // The connection screen's first showing comes by "< Back": it is centred all the same.
        started.move(0, 0);
        startedShell.tablesScreen().PushButton2_Click();
        EXPECT_TRUE(started.isVisible());
        const QPoint offCentre = started.frameGeometry().center() -
                                 QGuiApplication::primaryScreen()->availableGeometry().center();
        EXPECT_LE(offCentre.manhattanLength(), 4);
    }
    screen.test.settings.write("DataSourceName", "NoSuchDsnAnywhere");
    Shell staysShell(screen.test.runtime);
    Form1& stays = staysShell.connectionScreen();
    staysShell.start();
    EXPECT_FALSE(staysShell.hasTablesScreen());
    EXPECT_TRUE(stays.isVisible());
    stays.PushButton2_Click();  // "Next >" says nothing and stays
    EXPECT_FALSE(staysShell.hasTablesScreen());
    EXPECT_TRUE(screen.test.dialogs.calls().empty());
    EXPECT_EQ(stays.MousePointer.value(), ScreenPointer::Default);
}

TEST(Form2Moves, BackAndNextRebuildBothLists) {
    TablesScreen screen(TestDatabases::newSqliteDsn());
    screen.writeParadoxTable("one.db", {{"N", FieldType::Long, 4, 0}}, {});
    screen.form1->show();
    screen.form1->PushButton2_Click();
    Form2& form = screen.form2();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(screen.form1->isVisible());
    TablesScreen::select(*form.List2, {"ONE"});
    screen.writeParadoxTable("two.db", {{"N", FieldType::Long, 4, 0}}, {});
    form.PushButton2_Click();
    EXPECT_TRUE(screen.form1->isVisible());
    EXPECT_FALSE(form.isVisible());
    screen.form1->PushButton2_Click();
    EXPECT_EQ(TablesScreen::entries(*form.List2), (QStringList{"ONE", "TWO"}));
    EXPECT_EQ(form.List2->selectedCount(), 0);
}

// A double click on "Next >": the second click comes while the first one's load lets events run,
// and is ignored instead of filling the lists a second time.
TEST(Form2Moves, ASecondNextWhileTheListsAreBuiltIsIgnored) {
    TablesScreen screen(TestDatabases::newSqliteDsn());
    TestDatabases::execute(screen.dsn, R"(CREATE TABLE "THERE"("N" TEXT))");
    screen.writeParadoxTable("one.db", {{"N", FieldType::Long, 4, 0}}, {});
    screen.writeParadoxTable("two.db", {{"N", FieldType::Long, 4, 0}}, {});
    // Enough folders for the scan to let events run.
    for (int i = 0; i < 200; ++i)
        QDir().mkpath(screen.folder() + "/folder" + QString::number(i));
    screen.form1->show();
    screen.form1->PushButton2_Click();
    screen.form2().PushButton2_Click();
    // The window lets events run at most every 15 ms: the first load may let them run at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int secondClicks = 0;
    QTimer::singleShot(0, [&] {
        ++secondClicks;
        screen.form1->PushButton2_Click();
    });
    screen.form1->PushButton2_Click();
    EXPECT_EQ(secondClicks, 1);
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"THERE"});
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List2), (QStringList{"ONE", "TWO"}));
    EXPECT_TRUE(screen.test.dialogs.calls().empty());
}

// "Select All" leaves no entry current: the selected entries count as chosen all the same.
TEST(Form2Selection, EntriesSelectedByTheButtonCountAsChosen) {
    TablesScreen screen(TestDatabases::newSqliteDsn());
    screen.writeParadoxTable("one.db", {{"N", FieldType::Long, 4, 0}}, {{Value::integer(1)}});
    screen.writeParadoxTable("two.db", {{"N", FieldType::Long, 4, 0}}, {{Value::integer(2)}});
    screen.reload();
    Form2& form = screen.form2();
    ASSERT_EQ(form.List2->listIndex(), -1);
    form.PushButton8_Click();
    form.PushButton4_Click();
    EXPECT_EQ(TablesScreen::entries(*form.List1), (QStringList{"ONE", "TWO"}));
    form.PushButton10_Click();
    ASSERT_EQ(form.List1->listIndex(), -1);
    form.PushButton1_Click();
    EXPECT_TRUE(TablesScreen::entries(*form.List1).isEmpty());
    // A rename still needs exactly one selected entry.
    form.PushButton7_Click();
    EXPECT_EQ(screen.test.dialogs.texts("message"),
              QStringList{"Please select just one table to rename."});
    form.PushButton5_Click();
    EXPECT_TRUE(TablesScreen::entries(*form.List2).isEmpty());
    EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty())
        << screen.test.dialogs.texts("error").join("\n").toStdString();
    // With nothing selected, each side says so.
    screen.test.dialogs.clear();
    form.PushButton4_Click();
    form.PushButton1_Click();
    EXPECT_EQ(screen.test.dialogs.texts("message"),
              (QStringList{"Please select a table to send.", "Please select a table"}));
}

TEST(Form2Help, ShowsTheContactUnderTheApplicationTitle) {
    TablesScreen screen(TestDatabases::newSqliteDsn());
    screen.form1->Form_Load();  // sets the application title
    screen.form2().PushButton12_Click();
    ASSERT_EQ(screen.test.dialogs.calls().size(), 1u);
    EXPECT_EQ(screen.test.dialogs.calls()[0].kind, "message");
    EXPECT_EQ(screen.test.dialogs.calls()[0].title, "Morvane Conversion");
    EXPECT_EQ(
        screen.test.dialogs.calls()[0].text,
        "Questions? Please contact Team Quellory at https://www.morvane-software.example/contact");
}

// The check box is remembered in the settings, and with it on the screen copies as --typed does:
// real column types, the key, the counter; off, the screen's own mapping.
TEST(Form2Typed, TheCheckBoxIsRememberedAndKeepsTypesAndKeys) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TablesScreen screen(dsn);
    pxfixture::TableLayout keyed{12,
                                 2,
                                 1252,
                                 {{"ID", FieldType::AutoIncrement, 4, 0},
                                  {"WHEN", FieldType::Date, 4, 0},
                                  {"RATE", FieldType::Number, 8, 0}}};
    keyed.keyFields = 1;
    pxfixture::writeTable(screen.paradox.file("typed.db"), keyed,
                          {{Value::integer(1), Value::date(730000), Value::real(0.1234567)},
                           {Value::integer(2), Value(), Value::real(2.5)}});
    screen.reload();
    Form2& form = screen.form2();
    ASSERT_FALSE(form.Check1->isChecked());
    form.Check1->click();
    EXPECT_EQ(screen.test.settings.read(SettingKeys::kKeepParadoxTypes), "1");
    TablesScreen::select(*form.List2, {"TYPED"});
    form.PushButton4_Click();
    EXPECT_TRUE(screen.test.dialogs.texts("error").isEmpty())
        << screen.test.dialogs.texts("error").join("\n").toStdString();
    const auto columns = [&](const QString& table) {
        QStringList types;
        for (const QStringList& row : queryRows(
                 dsn, "SELECT data_type FROM information_schema.columns WHERE table_name = '" +
                          table + "' ORDER BY ordinal_position"))
            types << row[0];
        return types;
    };
    EXPECT_EQ(columns("TYPED"), (QStringList{"integer", "date", "double precision"}));
    EXPECT_EQ(queryRows(dsn,
                        "SELECT count(*) FROM information_schema.table_constraints "
                        "WHERE table_name = 'TYPED' AND constraint_type = 'PRIMARY KEY'")[0][0],
              "1");
    TestDatabases::execute(dsn, R"(INSERT INTO "TYPED"("RATE") VALUES(1))");
    EXPECT_EQ(queryRows(dsn, R"(SELECT max("ID") FROM "TYPED")")[0][0], "3");
    EXPECT_EQ(queryRows(dsn, R"(SELECT "RATE" FROM "TYPED" WHERE "ID" = 1)")[0][0], "0.1234567");

    // Off again, read afresh at the next load: the screen's mapping.
    form.Check1->click();
    EXPECT_EQ(screen.test.settings.read(SettingKeys::kKeepParadoxTypes), "0");
    screen.test.settings.write(SettingKeys::kKeepParadoxTypes, "1");
    screen.reload();
    EXPECT_TRUE(form.Check1->isChecked());
    form.Check1->click();
    screen.writeParadoxTable("plain.db", {{"WHEN", FieldType::Date, 4, 0}},
                             {{Value::date(730000)}});
    screen.reload();
    TablesScreen::select(*form.List2, {"PLAIN"});
    form.PushButton4_Click();
    EXPECT_EQ(columns("PLAIN"), QStringList{"text"});
}

// With the box on, the relationships are made once the selected tables are sent: one whose
// parent has no key is reported through the error box with its line, the others are made.
TEST(Form2Typed, RelationshipsAreMadeAfterTheSelectedTablesAndWhatCannotBeIsReported) {
    const QString joins = QStringLiteral(MORVANE_CORPUS) + "/joins/";
    if (!QDir(joins).exists())
        GTEST_SKIP() << "no corpus";
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TablesScreen screen(dsn);
    for (const char* name : {"joina.db", "joinb.db", "joinb.val", "primary.db", "primary.px",
                             "primary.val", "fk1.db", "fk1.px", "fk1.val", "fk1.x02", "fk1.y02"})
        ASSERT_TRUE(QFile::copy(joins + name, QString::fromStdString(screen.paradox.file(name))));
    screen.reload();
    Form2& form = screen.form2();
    form.Check1->click();
    TablesScreen::select(*form.List2, {"JOINA", "JOINB", "PRIMARY", "FK1"});
    form.PushButton4_Click();
    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1) << errors.join("\n").toStdString();
    EXPECT_TRUE(errors[0].contains("JOINB: no foreign key to JOINA: JOINA has no key on ID"))
        << errors[0].toStdString();
    EXPECT_TRUE(errors[0].contains("PushButton4_Click at line 278")) << errors[0].toStdString();
    EXPECT_EQ(
        queryRows(dsn,
                  "SELECT conrelid::regclass::text || ' ' || "
                  "pg_get_constraintdef(oid) FROM pg_constraint WHERE contype = 'f'"),
        std::vector<QStringList>{{"\"FK1\" FOREIGN KEY (\"FK\") REFERENCES "
                                  "\"PRIMARY\"(\"ID\") ON UPDATE CASCADE ON DELETE RESTRICT"}});
    EXPECT_EQ(queryRows(dsn,
                        "SELECT indexname FROM pg_indexes WHERE tablename = 'FK1' AND "
                        "indexname NOT LIKE '%pkey'"),
              std::vector<QStringList>{{"FK1_FK"}});
}
