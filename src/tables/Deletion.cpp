// "Delete Table/s" on both sides: every selected entry at once, from the last to the first, with
// no question asked.
#include <QFileInfo>

#include "ado/Connection.h"
#include "app/ErrorTrap.h"
#include "app/FileOperations.h"
#include "app/Form1.h"
#include "app/MainModule.h"
#include "app/Runtime.h"
#include "data/Datatype.h"
#include "data/SybaseModule.h"
#include "tables/Form2.h"
#include "ui/Dialogs.h"
#include "ui/TableList.h"

namespace {

// The file cannot be removed: reported like any failing step, so that the entry stays.
class UndeletableFile : public std::runtime_error {
  public:
    UndeletableFile(const QString& path, const QString& reason)
        : std::runtime_error("The table file " + path.toStdString() +
                             " could not be deleted: " + reason.toStdString()) {}
};

}  // namespace

void Form2::PushButton1_Click() {
    OperationScope operation(*this);
    if (!operation.started())
        return;
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.PushButton1_Click"));
    ado::Connection connection;
    trap.step(102, [&] { MousePointer.set(ScreenPointer::Hourglass); });
    const bool connected = trap.step(
        104, [&] { connection.Open(Sybase::DsnConnectionString(form1_.dataSourceName())); });
    if (trap.test(106, [&] { return List1->listIndex() == -1; })) {
        trap.step(108,
                  [&] { runtime_.dialogs.message(this, QStringLiteral("Please select a table")); });
        MousePointer.set(ScreenPointer::Default);
        return;
    }
    // Without a connection every drop would fail: the one report above says why.
    for (int i = List1->count() - 1; connected && i >= 0; --i) {
        if (!trap.test(110, [&] { return List1->isEntrySelected(i); }))
            continue;
        // An entry leaves the list only when its table was dropped.
        if (trap.step(112, [&] {
                connection.Execute(QStringLiteral("DROP TABLE ") +
                                   Datatype::QuotedName(List1->entryText(i)));
            }))
            trap.step(114, [&] { List1->removeEntry(i); });
    }
    trap.step(116, [&] { MousePointer.set(ScreenPointer::Default); });
}

void Form2::PushButton5_Click() {
    OperationScope operation(*this);
    if (!operation.started())
        return;
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.PushButton5_Click"));
    trap.step(100, [&] { MousePointer.set(ScreenPointer::Hourglass); });
    if (trap.test(102, [&] { return List2->listIndex() == -1; })) {
        trap.step(104, [&] {
            runtime_.dialogs.message(this, QStringLiteral("Please select a table to delete."));
        });
        MousePointer.set(ScreenPointer::Default);
        return;
    }
    for (int i = List2->count() - 1; i >= 0; --i) {
        if (!trap.test(106, [&] { return List2->isEntrySelected(i); }))
            continue;
        // Each entry acts on the file it was listed from, wherever in the tree that is.
        const QString file = List2->entryData(i);
        if (!Main::FileExists(file))
            continue;
        if (trap.step(110, [&] {
                const QString reason = Main::DeleteFileForced(file);
                if (Main::FileExists(file))
                    throw UndeletableFile(file, reason);
            }))
            trap.step(114, [&] { List2->removeEntry(i); });
    }
    trap.step(116, [&] { MousePointer.set(ScreenPointer::Default); });
}
