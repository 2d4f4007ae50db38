// The way from the connection screen to the tables screen.
#include "app/ErrorTrap.h"
#include "app/Form1.h"
#include "app/Runtime.h"
#include "data/ParadoxModule.h"
#include "data/SybaseModule.h"
#include "tables/Form2.h"

void Form1::MoveToTablesScreen(ErrorTrap& startUpTrap) {
    if (!startUpTrap.test(132, [&] { return Paradox::ParadoxFolderHasTables(paradoxFolder()); }))
        return;
    if (!startUpTrap.test(134, [&] { return Sybase::TestDataSource(dataSourceName()); }))
        return;
    startUpTrap.step(136, [&] { tablesScreen().show(); });
    startUpTrap.step(138, [&] {
        hide();
        movedToTablesScreen_ = true;
    });
}

void Form1::PushButton2_Click() {
    if (form2_ && form2_->operationRunning())
        return;
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.PushButton2_Click"));
    trap.step(100, [&] { MousePointer.set(ScreenPointer::Hourglass); });
    if (trap.test(102, [&] { return Paradox::ParadoxFolderHasTables(paradoxFolder()); }) &&
        trap.test(104, [&] { return Sybase::TestDataSource(dataSourceName()); })) {
        trap.step(106, [&] { tablesScreen().Form_Load(); });
        trap.step(108, [&] { tablesScreen().show(); });
        trap.step(110, [&] { hide(); });
    }
    trap.step(112, [&] { MousePointer.set(ScreenPointer::Default); });
}
