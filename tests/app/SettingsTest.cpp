#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include "app/Shell.h"
#include "connect/Form1.h"
#include "data/Settings.h"
#include "support/TestRuntime.h"

TEST(Settings, FirstRunReadsEmptyAndWritesCreateTheFile) {
    TestRuntime test;
    EXPECT_EQ(test.settings.read(SettingKeys::kParadoxFolder), "");
    test.settings.write(SettingKeys::kParadoxFolder, "/data/px");
    EXPECT_EQ(test.settings.read(SettingKeys::kParadoxFolder), "/data/px");
    EXPECT_TRUE(QFile::exists(test.settings.path()));
    QFile file(test.settings.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString ini = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(ini.contains("Morvane%20Conversion%20Software")) << ini.toStdString();
    EXPECT_TRUE(ini.contains("ParadoxFolder=/data/px"));
}

TEST(Settings, DefaultPathFollowsXdgConfigHome) {
    EXPECT_TRUE(Settings::defaultPath().endsWith("/Quellory/Quellory.ini"));
    EXPECT_TRUE(Settings::defaultPath().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
}

TEST(Settings, TwoInstancesShareValuesAndTheLastWriteWins) {
    TestRuntime test;
    Settings other(test.settings.path());
    test.settings.write(SettingKeys::kDataSourceName, "first");
    other.write(SettingKeys::kDataSourceName, "second");
    EXPECT_EQ(test.settings.read(SettingKeys::kDataSourceName), "second");
}

TEST(Settings, EveryKeystrokeIsWrittenAndARestartShowsTheLastText) {
    TestRuntime test;
    {
        Shell formShell(test.runtime);
        Form1& form = formShell.connectionScreen();
        form.Form_Load();
        EXPECT_EQ(form.Text1->text(), "");
        EXPECT_EQ(form.Text2->text(), "");
        QTest::keyClicks(form.Text2, "Syb");
        EXPECT_EQ(test.settings.read(SettingKeys::kDataSourceName), "Syb");
        QTest::keyClick(form.Text2, Qt::Key_Backspace);
        EXPECT_EQ(test.settings.read(SettingKeys::kDataSourceName), "Sy");
        form.Text1->setText("/srv/paradox");
    }
    Shell restartedShell(test.runtime);
    Form1& restarted = restartedShell.connectionScreen();
    restarted.Form_Load();
    EXPECT_EQ(restarted.Text1->text(), "/srv/paradox");
    EXPECT_EQ(restarted.Text2->text(), "Sy");
}

TEST(Settings, ClearingABoxStoresTheEmptyText) {
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Text1->setText("/x");
    form.Text1->clear();
    EXPECT_EQ(test.settings.read(SettingKeys::kParadoxFolder), "");
    Shell restartedShell(test.runtime);
    Form1& restarted = restartedShell.connectionScreen();
    restarted.Form_Load();
    EXPECT_EQ(restarted.Text1->text(), "");
}

TEST(Settings, AFailedWriteIsToldPlainlyAndTypingGoesOn) {
    TestRuntime test;
    // A folder where the settings file should be makes every write fail, even for root.
    ASSERT_TRUE(QDir().mkpath(test.settings.path()));
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    QTest::keyClicks(form.Text1, "ab");
    EXPECT_EQ(form.Text1->text(), "ab");
    EXPECT_EQ(test.dialogs.texts("unhandled").size(), 2);
    EXPECT_TRUE(test.dialogs.texts("unhandled")[0].contains("ParadoxFolder"));
}
