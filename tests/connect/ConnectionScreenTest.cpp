// Both "Test Connection" buttons with good and bad input.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "app/Shell.h"
#include "connect/Form1.h"
#include "support/Databases.h"
#include "support/TestRuntime.h"

TEST(DataSourceTest, GoodAndBadNames) {
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Form_Load();  // sets the application title
    const QString sqlite = TestDatabases::newSqliteDsn();
    form.Text2->setText(sqlite);
    form.PushButton1_Click();
    form.Text2->setText("");
    form.PushButton1_Click();
    form.Text2->setText("NoSuchDsnAnywhere");
    form.PushButton1_Click();
    EXPECT_EQ(test.dialogs.texts("message"),
              (QStringList{"Connection successful.",
                           "Could not connect. Please check with your administrator.",
                           "Could not connect. Please check with your administrator."}));
    EXPECT_TRUE(test.dialogs.texts("error").isEmpty());
    EXPECT_EQ(form.MousePointer.value(), ScreenPointer::Default);
    EXPECT_EQ(test.dialogs.calls()[0].title, "Morvane Conversion");
}

TEST(DataSourceTest, PostgresDataSource) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Text2->setText(dsn);
    form.PushButton1_Click();
    EXPECT_EQ(test.dialogs.texts("message"), QStringList{"Connection successful."});
}

TEST(ParadoxTest, EmptyMissingAndTableFolders) {
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.PushButton3_Click();
    form.Text1->setText(QString::fromStdString(test.home.file("missing")));
    form.PushButton3_Click();
    form.Text1->setText(QString::fromStdString(test.home.path()));
    form.PushButton3_Click();
    writeWholeFile(test.home.file("only.db"), "any content: the test looks for the file");
    form.PushButton3_Click();
    EXPECT_EQ(test.dialogs.texts("message"),
              (QStringList{"Could not connect.", "Could not connect.", "Could not connect.",
                           "Connection successful."}));
    EXPECT_EQ(form.MousePointer.value(), ScreenPointer::Default);
}

TEST(ParadoxTest, SampleFolderOfAnInstallationWithoutSamples) {
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.PushButton6_Click();
    form.PushButton3_Click();
    EXPECT_EQ(test.dialogs.texts("message"), QStringList{"Could not connect."});
}
