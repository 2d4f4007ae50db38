#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTest>

#include "app/Shell.h"
#include "connect/Form1.h"
#include "support/TestRuntime.h"
#include "ui/HoverFeedback.h"
#include "ui/MainModule.h"
#include "ui/PushButton.h"

namespace {

QRect twips(int left, int top, int width, int height) {
    return QRect(qRound(left / 15.0), qRound(top / 15.0), qRound(width / 15.0),
                 qRound(height / 15.0));
}

void moveMouseOver(QWidget* widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void copyCursorInto(const QString& folder) {
    QFile::remove(folder + "/HAND-M.CUR");
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(MORVANE_APP_FOLDER "/HAND-M.CUR"), folder + "/HAND-M.CUR"));
}

// The connection screen started as the program starts it, and made the active window.
struct ActiveScreen {
    ActiveScreen() : shell(test.runtime), form(shell.connectionScreen()) {
        shell.start();
        QApplication::setActiveWindow(&form);
    }
    bool isActive() { return QTest::qWaitForWindowActive(&form); }

    TestRuntime test;
    Shell shell;
    Form1& form;
};

}  // namespace

TEST(ApplicationTitle, LosesWordsFromItsEndToFortyCharacters) {
    EXPECT_EQ(Main::ApplicationTitleFor("Morvane Conversion Software"), "Morvane Conversion");
    EXPECT_EQ(Main::ApplicationTitleFor("An Extremely Long Product Title For Testing Purposes"),
              "An Extremely Long Product Title For");
    EXPECT_LE(Main::ApplicationTitleFor(QString(30, 'a') + " " + QString(30, 'b')).size(), 40);
    EXPECT_EQ(Main::ApplicationTitleFor("Single"), "Single");
}

TEST(Form1Layout, CaptionsGeometryAndFonts) {
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    EXPECT_EQ(form.size(), QSize(536, 249));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    struct Expected {
        QWidget* widget;
        QString caption;
        QRect rect;
    };
    const std::vector<Expected> controls = {
        {form.Frame1, "Paradox Database", twips(120, 120, 7800, 1425)},
        {form.Label2, "Paradox Folder:", twips(240, 405, 1455, 255)},
        {form.Text1, "", twips(1680, 360, 5055, 345)},
        {form.PushButton5, "...", twips(6840, 360, 675, 345)},
        {form.PushButton6, "Load Sample/Example Database", twips(240, 840, 3600, 405)},
        {form.PushButton3, "Test Connection", twips(3960, 840, 3600, 405)},
        {form.Frame2, "Sybase iAnywhere Database", twips(120, 1670, 7800, 1425)},
        {form.Label5, "Data Source Name:", twips(240, 405, 1695, 255)},
        {form.Text2, "", twips(2040, 360, 5535, 345)},
        {form.PushButton1, "Test Connection", twips(240, 840, 3600, 405)},
        {form.PushButton4, "Help", twips(3960, 840, 3600, 405)},
        {form.PushButton2, "Next >", twips(120, 3210, 7800, 405)},
    };
    for (const Expected& control : controls) {
        EXPECT_EQ(control.widget->geometry(), control.rect)
            << control.widget->objectName().toStdString();
        if (auto* button = qobject_cast<QPushButton*>(control.widget)) {
            EXPECT_EQ(button->text(), control.caption);
            EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25);
            EXPECT_TRUE(button->font().bold());
        } else if (auto* frame = qobject_cast<QGroupBox*>(control.widget)) {
            EXPECT_EQ(frame->title(), control.caption);
            EXPECT_DOUBLE_EQ(frame->font().pointSizeF(), 9);
        } else if (auto* label = qobject_cast<QLabel*>(control.widget)) {
            EXPECT_EQ(label->text(), control.caption);
        }
        EXPECT_EQ(form.findChild<QWidget*>(control.widget->objectName()), control.widget);
    }
}

TEST(Form1Layout, TabbingVisitsTheControlsInTheirOrder) {
    ActiveScreen active;
    Form1& form = active.form;
    ASSERT_TRUE(active.isActive());
    EXPECT_EQ(QApplication::focusWidget(), form.Text1);
    const QList<QWidget*> order = {form.Text2,       form.PushButton5, form.PushButton3,
                                   form.PushButton1, form.PushButton4, form.PushButton2,
                                   form.PushButton6, form.Text1};
    for (QWidget* expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
    }
}

TEST(Form1Load, TitlesFirstRunAndNoSkin) {
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Form_Load();
    EXPECT_EQ(form.windowTitle(), "Morvane Conversion Software");
    EXPECT_EQ(test.dialogs.applicationTitle(), "Morvane Conversion");
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_TRUE(form.SkinFramework1.calls().isEmpty());
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(test.dialogs.calls().empty());
    EXPECT_FALSE(form.MousePointer.hasCustomIcon());
}

TEST(Form1Load, SkinFileGivesTheFaceColourAndTheFiveCallsInOrder) {
    TestRuntime test;
    const QString skinFolder = test.applicationFolder() + "/x";
    QDir().mkpath(skinFolder);
    QFile skin(skinFolder + "/o.cjs");
    ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { color: #123456; }");
    skin.close();
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Form_Load();
    const QString path = skinFolder + "/o.cjs";
    EXPECT_EQ(form.SkinFramework1.calls(),
              (QStringList{"load(" + path + ",)", "property1=1", "property5=1", "property10=1",
                           "apply(Form1)"}));
    EXPECT_EQ(form.styleSheet(), "QPushButton { color: #123456; }");
    const QColor face = form.palette().color(QPalette::Button);
    EXPECT_EQ(form.palette().color(QPalette::Window), face);
    EXPECT_EQ(form.Frame1->palette().color(QPalette::Window), face);
    EXPECT_EQ(form.Label5->palette().color(QPalette::Window), face);
}

TEST(Form1Load, HomePageOpensOnlyOnASeven) {
    TestRuntime test;
    for (int draw : {1, 6, 8, 100}) {
        test.draw = draw;
        Shell formShell(test.runtime);
        Form1& form = formShell.connectionScreen();
        form.Form_Load();
    }
    EXPECT_TRUE(test.openedUrls.empty());
    test.draw = 7;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Form_Load();
    ASSERT_EQ(test.openedUrls.size(), 1u);
    EXPECT_EQ(test.openedUrls[0].host(), "www.morvane-software.example");
}

TEST(Form1Load, HandCursorIsLoadedAndADamagedOneIsReportedAtLine126) {
    TestRuntime test;
    copyCursorInto(test.applicationFolder());
    {
        Shell formShell(test.runtime);
        Form1& form = formShell.connectionScreen();
        form.Form_Load();
        EXPECT_TRUE(form.MousePointer.hasCustomIcon());
        EXPECT_TRUE(test.dialogs.calls().empty());
    }
    QFile damaged(test.applicationFolder() + "/HAND-M.CUR");
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("not a cursor");
    damaged.close();
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Form_Load();
    EXPECT_FALSE(form.MousePointer.hasCustomIcon());
    ASSERT_EQ(test.dialogs.texts("error").size(), 1);
    EXPECT_TRUE(test.dialogs.texts("error")[0].contains("Form1.Form_Load at line 126"));
}

TEST(Form1Hover, HandOverButtonsNormalElsewhereHourglassNeverReplaced) {
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.show();
    moveMouseOver(form.PushButton3);
    EXPECT_EQ(form.MousePointer.value(), ScreenPointer::Custom);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);  // no icon: the normal arrow
    moveMouseOver(form.Label2);                         // labels leave the pointer alone
    EXPECT_EQ(form.MousePointer.value(), ScreenPointer::Custom);
    moveMouseOver(form.Text1);
    EXPECT_EQ(form.MousePointer.value(), ScreenPointer::Default);
    moveMouseOver(form.PushButton2);
    moveMouseOver(form.Frame2);
    EXPECT_EQ(form.MousePointer.value(), ScreenPointer::Default);
    moveMouseOver(&form);
    EXPECT_EQ(form.MousePointer.value(), ScreenPointer::Default);

    form.MousePointer.set(ScreenPointer::Hourglass);
    EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
    moveMouseOver(form.PushButton1);
    moveMouseOver(form.Frame1);
    moveMouseOver(&form);
    EXPECT_EQ(form.MousePointer.value(), ScreenPointer::Hourglass);
    EXPECT_EQ(form.cursor().shape(), Qt::WaitCursor);
}

TEST(Form1Hover, CustomPointerShowsTheHandCursor) {
    TestRuntime test;
    copyCursorInto(test.applicationFolder());
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Form_Load();
    moveMouseOver(form.PushButton6);
    EXPECT_EQ(form.cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(form.cursor().hotSpot(), QPoint(9, 1));
}

TEST(Form1Boxes, FocusSelectsTheWholeText) {
    ActiveScreen active;
    Form1& form = active.form;
    ASSERT_TRUE(active.isActive());
    form.Text2->setText("MyDSN");
    QTest::mouseClick(form.Text2, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QApplication::processEvents();
    EXPECT_EQ(form.Text2->selectedText(), "MyDSN");
    QTest::keyClick(form.Text2, Qt::Key_Tab, Qt::ShiftModifier);
    form.Text1->setText("/folder");
    QTest::keyClick(form.Text1, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), form.Text2);
    EXPECT_EQ(form.Text2->selectedText(), "MyDSN");
}

TEST(Form1Buttons, HelpShowsTenParagraphsEachEndedByTwoCarriageReturns) {
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Form_Load();  // sets the application title
    form.PushButton4_Click();
    ASSERT_EQ(test.dialogs.texts("message").size(), 1);
    const QString text = test.dialogs.texts("message")[0];
    EXPECT_EQ(text.count("\r\r"), 10);
    EXPECT_TRUE(text.endsWith("9. Clicked 'Test Connection' in my program.\r\r"));
    EXPECT_TRUE(text.startsWith("Here is how I connected to my Sybase database.\r\r1. Downloaded"));
    EXPECT_TRUE(text.contains("\r\r4. Clicked 'Add...' \r\r"));
    EXPECT_TRUE(text.contains("\r\r2. Applied for a Developer Key with "));
    EXPECT_EQ(test.dialogs.calls()[0].title, "Morvane Conversion");
}

TEST(Form1Buttons, BrowseOpensAtTheRememberedFolderAndCancelChangesNothing) {
    TestRuntime test;
    test.settings.write(SettingKeys::kLastFolderDot, "/srv/start");
    test.settings.write(SettingKeys::kParadoxFolder, "/old");
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.Form_Load();
    test.dialogs.answerFolder("");
    form.PushButton5_Click();
    EXPECT_EQ(form.Text1->text(), "/old");
    EXPECT_EQ(test.settings.read(SettingKeys::kParadoxFolder), "/old");
    ASSERT_EQ(test.dialogs.calls().size(), 1u);
    EXPECT_EQ(test.dialogs.calls()[0].title, "Please select folder:");
    EXPECT_EQ(test.dialogs.calls()[0].extra, "/srv/start");

    test.dialogs.answerFolder("/");
    form.PushButton5_Click();
    EXPECT_EQ(form.Text1->text(), "/");
    EXPECT_EQ(test.settings.read(SettingKeys::kParadoxFolder), "/");
}

TEST(Form1Buttons, SampleButtonPutsTheSampleFolderInTheBoxAsItIs) {
    TestRuntime test;
    Shell formShell(test.runtime);
    Form1& form = formShell.connectionScreen();
    form.PushButton6_Click();
    EXPECT_EQ(form.Text1->text(), test.applicationFolder() + "/Samples");
    EXPECT_EQ(test.settings.read(SettingKeys::kParadoxFolder),
              test.applicationFolder() + "/Samples");
    EXPECT_TRUE(test.dialogs.calls().empty());
}

TEST(Form1Keyboard, EveryButtonIsPressedWithSpace) {
    ActiveScreen active;
    TestRuntime& test = active.test;
    Form1& form = active.form;
    ASSERT_TRUE(active.isActive());
    test.dialogs.answerFolder("");
    for (QWidget* button :
         {static_cast<QWidget*>(form.PushButton5), static_cast<QWidget*>(form.PushButton3),
          static_cast<QWidget*>(form.PushButton1), static_cast<QWidget*>(form.PushButton4),
          static_cast<QWidget*>(form.PushButton6)}) {
        button->setFocus(Qt::TabFocusReason);
        QTest::keyClick(button, Qt::Key_Space);
    }
    QStringList kinds;
    for (const auto& call : test.dialogs.calls())
        kinds << call.kind;
    EXPECT_EQ(kinds, (QStringList{"folder", "message", "message", "message"}));
    EXPECT_EQ(form.Text1->text(), test.applicationFolder() + "/Samples");
}
