// The buttons and boxes of the connection screen.
#include <QLineEdit>

#include "FolderPicker.h"
#include "ado/Connection.h"
#include "app/ErrorTrap.h"
#include "app/Form1.h"
#include "app/Runtime.h"
#include "app/Settings.h"
#include "data/ParadoxModule.h"
#include "data/SybaseModule.h"
#include "ui/Dialogs.h"

namespace {

// The folder picker's start folder, read afresh from the settings on every click.
QString LastFolder;

const QStringList kHelpParagraphs = {
    QStringLiteral("Here is how I connected to my Sybase database."),
    QStringLiteral("1. Downloaded and installed drivers: SQL Anywhere 10 for Windows "
                   "(SQLAnywhere_1000_Windows.exe)"),
    QStringLiteral("2. Applied for a Developer Key with the database vendor through its web "
                   "site; its support staff helped with the set-up."),
    QStringLiteral("3. Clicked to Start > Settings > Control Panel > Administrative Tools > Data "
                   "Source (ODBC)"),
    QStringLiteral("4. Clicked 'Add...' "),
    QStringLiteral("5. Selected 'SQL Anywhere 10'"),
    QStringLiteral("6. Filled in 'Data source name', 'User ID', 'Password', 'Server Name', "
                   "'TCP/IP' given to me by my administrator."),
    QStringLiteral("7. Clicked 'Test Connection'."),
    QStringLiteral("8. Filled in 'Data Source Name' in my program to be the same as 'Data source "
                   "name' in Data Source (ODBC)"),
    QStringLiteral("9. Clicked 'Test Connection' in my program."),
};

}  // namespace

void Form1::PushButton1_Click() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.PushButton1_Click"));
    std::unique_ptr<ado::Connection> connection;
    trap.step(100, [&] { connection = std::make_unique<ado::Connection>(); });
    // From here a failure is this handler's own: it means the data source cannot be reached.
    try {
        MousePointer.set(ScreenPointer::Hourglass);
        if (!connection)
            throw std::runtime_error("no connection object");
        connection->Open(Sybase::DsnConnectionString(Text2->text()));
        runtime_.dialogs.message(this, QStringLiteral("Connection successful."));
        MousePointer.set(ScreenPointer::Default);
    } catch (const std::exception&) {
        runtime_.dialogs.message(
            this, QStringLiteral("Could not connect. Please check with your administrator."));
        MousePointer.set(ScreenPointer::Default);
    }
}

void Form1::PushButton3_Click() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.PushButton3_Click"));
    trap.step(102, [&] { MousePointer.set(ScreenPointer::Hourglass); });
    if (trap.test(104, [&] { return Paradox::ParadoxFolderHasTables(Text1->text()); }))
        trap.step(
            106, [&] { runtime_.dialogs.message(this, QStringLiteral("Connection successful.")); });
    else
        trap.step(108,
                  [&] { runtime_.dialogs.message(this, QStringLiteral("Could not connect.")); });
    trap.step(110, [&] { MousePointer.set(ScreenPointer::Default); });
}

void Form1::PushButton4_Click() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.PushButton4_Click"));
    QString text;
    trap.step(100, [&] {
        for (const QString& paragraph : kHelpParagraphs)
            text += paragraph + QStringLiteral("\r\r");
    });
    trap.step(124, [&] { runtime_.dialogs.message(this, text); });
}

void Form1::PushButton5_Click() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.PushButton5_Click"));
    QString chosen;
    trap.step(100, [&] {
        LastFolder = runtime_.settings.read(SettingKeys::kLastFolderDot);
        chosen = AddFolder::BrowseForFolder(runtime_.dialogs, this,
                                            QStringLiteral("Please select folder:"), LastFolder);
    });
    if (trap.test(102, [&] { return chosen.isEmpty(); }))
        return;
    trap.step(104, [&] { Text1->setText(chosen); });
}

void Form1::PushButton6_Click() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.PushButton6_Click"));
    trap.step(100,
              [&] { Text1->setText(runtime_.applicationFolder + QStringLiteral("/Samples")); });
}
