// The real dialogs service, offscreen: each kind of box shows the title, text, icon and buttons
// that the program asks for, and answers with what was clicked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "ui/QtDialogs.h"

namespace {

// Runs `inspect` on the modal dialog once it is up, which must then close it.
template <typename DialogType>
void whenShown(std::function<void(DialogType&)> inspect) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        if (auto* dialog = qobject_cast<DialogType*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            inspect(*dialog);
        }
    });
    poll->start(10);
}

struct Shown {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

}  // namespace

TEST(QtDialogs, EachKindOfBoxShowsWhatTheProgramAsksFor) {
    QtDialogs dialogs;
    dialogs.setApplicationTitle(QStringLiteral("Morvane Conversion"));
    Shown shown;
    const auto capture = [&](QMessageBox::StandardButton click) {
        whenShown<QMessageBox>([&shown, click](QMessageBox& box) {
            shown = {box.windowTitle(), box.text(), box.icon(), box.standardButtons()};
            box.button(click)->click();
        });
    };

    capture(QMessageBox::Ok);
    dialogs.message(nullptr, QStringLiteral("Connection successful."));
    EXPECT_EQ(shown.title, "Morvane Conversion");
    EXPECT_EQ(shown.text, "Connection successful.");
    EXPECT_EQ(shown.icon, QMessageBox::NoIcon);
    EXPECT_EQ(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    capture(QMessageBox::No);
    EXPECT_FALSE(dialogs.question(nullptr, QStringLiteral("Would you like to overwrite A?"),
                                  QStringLiteral("Overwrite?")));
    EXPECT_EQ(shown.title, "Overwrite?");
    EXPECT_EQ(shown.buttons, QMessageBox::Yes | QMessageBox::No);
    capture(QMessageBox::Yes);
    EXPECT_TRUE(dialogs.question(nullptr, QStringLiteral("Again?"), QStringLiteral("Overwrite?")));

    capture(QMessageBox::Ok);
    dialogs.error(nullptr, QStringLiteral("Disk not ready"));
    EXPECT_EQ(shown.title, "Application Error");
    EXPECT_EQ(shown.icon, QMessageBox::Warning);
    EXPECT_EQ(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    capture(QMessageBox::Ok);
    dialogs.unhandled(nullptr, QStringLiteral("settings not written"));
    EXPECT_EQ(shown.title, "Morvane Conversion");
    EXPECT_EQ(shown.icon, QMessageBox::Critical);
}

TEST(QtDialogs, TheInputBoxGivesTheTypedTextForOkAndNothingForCancel) {
    QtDialogs dialogs;
    dialogs.setApplicationTitle(QStringLiteral("Morvane Conversion"));
    QString title, prompt, offered;
    whenShown<QInputDialog>([&](QInputDialog& box) {
        title = box.windowTitle();
        prompt = box.labelText();
        offered = box.textValue();
        box.setTextValue(QStringLiteral(" Sales "));
        box.accept();
    });
    EXPECT_EQ(dialogs.input(nullptr, QStringLiteral("Enter new name of ORDERS:"),
                            QStringLiteral("ORDERS")),
              " Sales ");
    EXPECT_EQ(title, "Morvane Conversion");
    EXPECT_EQ(prompt, "Enter new name of ORDERS:");
    EXPECT_EQ(offered, "ORDERS");

    whenShown<QInputDialog>([](QInputDialog& box) { box.reject(); });
    EXPECT_EQ(dialogs.input(nullptr, QStringLiteral("Enter new name of ORDERS:"),
                            QStringLiteral("ORDERS")),
              "");
}
