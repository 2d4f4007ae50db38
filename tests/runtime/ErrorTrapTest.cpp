#include <gtest/gtest.h>

#include <stdexcept>

#include "runtime/ErrorTrap.h"
#include "support/ScriptedDialogs.h"

namespace {

const QString kExpected = QStringLiteral(
    "Disk not ready\r\nin Morvane2021/08/31.Form1.PushButton3_Click at line 104"
    "\r\rPlease email screenshot of this message to "
    "support@morvane-software.example");

void fail(const char* what) {
    throw std::runtime_error(what);
}

// A dialogs service whose error box itself fails.
class BrokenErrorBox : public ScriptedDialogs {
  protected:
    bool showBox(QWidget* owner, const Box& box) override {
        if (box.icon == Icon::Warning)
            throw std::runtime_error("no display");
        return ScriptedDialogs::showBox(owner, box);
    }
};

}  // namespace

TEST(ErrorTrap, MessageTextByteForByte) {
    EXPECT_EQ(ErrorTrap::message(QStringLiteral("Disk not ready"), QStringLiteral("Morvane"),
                                 QStringLiteral("Form1.PushButton3_Click"), 104),
              kExpected);
    EXPECT_TRUE(
        ErrorTrap::message("x", "Veltrane", "AddFolder.GetSubDirectories2016", 112)
            .contains("\r\nin Veltrane2021/08/31.AddFolder.GetSubDirectories2016 at line 112\r\r"));
}

TEST(ErrorTrap, EveryFailingStepIsReportedAndTheNextStepRuns) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, nullptr, QStringLiteral("Form1.PushButton3_Click"));
    QStringList ran;
    trap.step(100, [&] { ran << "100"; });
    trap.step(102, [&] { fail("first"); });
    trap.step(104, [&] { ran << "104"; });
    trap.step(106, [&] { fail("second"); });
    trap.step(108, [&] { ran << "108"; });

    EXPECT_EQ(ran, (QStringList{"100", "104", "108"}));
    const QStringList errors = dialogs.texts("error");
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors[0].startsWith(
        "first\r\nin Morvane2021/08/31.Form1.PushButton3_Click at line 102\r\r"));
    EXPECT_TRUE(errors[1].startsWith("second\r\n"));
    EXPECT_TRUE(errors[1].contains("at line 106\r\r"));
    EXPECT_EQ(dialogs.calls()[0].title, "Application Error");
}

TEST(ErrorTrap, AFailedTestCountsAsFalse) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, nullptr, QStringLiteral("Form1.PushButton3_Click"));
    QString branch;
    if (trap.test(104, [&]() -> bool { throw std::runtime_error("check failed"); }))
        branch = "true";
    else
        branch = "else";
    EXPECT_EQ(branch, "else");
    ASSERT_EQ(dialogs.texts("error").size(), 1);
    EXPECT_TRUE(dialogs.texts("error")[0].contains("at line 104"));
    EXPECT_TRUE(trap.test(106, [] { return true; }));
    EXPECT_FALSE(trap.test(108, [] { return false; }));
}

TEST(ErrorTrap, AFailingValueIsEmptyAndReported) {
    ScriptedDialogs dialogs;
    ErrorTrap trap(dialogs, nullptr, QStringLiteral("Form2.PushButton4_Click"));
    EXPECT_EQ(trap.value<int>(218, [] { return 42; }), 42);
    EXPECT_FALSE(trap.value<int>(232, []() -> int { throw std::runtime_error("gone"); }));
    EXPECT_EQ(dialogs.texts("error").size(), 1);
}

TEST(ErrorTrap, AFailureOfTheBoxItselfIsToldPlainlyAndTheHandlerGoesOn) {
    BrokenErrorBox dialogs;
    ErrorTrap trap(dialogs, nullptr, QStringLiteral("Form1.Form_Load"));
    bool nextStepRan = false;
    trap.step(100, [] { fail("skin"); });
    trap.step(104, [&] { nextStepRan = true; });
    EXPECT_TRUE(nextStepRan);
    ASSERT_EQ(dialogs.texts("unhandled").size(), 1);
    EXPECT_TRUE(dialogs.texts("unhandled")[0].contains("no display"));
}
