#include "Form2.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLocale>
#include <QShortcut>

#include <algorithm>
#include <chrono>
#include <tuple>

#include "ProgressCaption.h"
#include "data/ConnectionSettings.h"
#include "data/FileChecks.h"
#include "data/ParadoxModule.h"
#include "data/Settings.h"
#include "data/SybaseModule.h"
#include "data/products/TargetProduct.h"
#include "operations/JournalRepair.h"
#include "operations/ParadoxTables.h"
#include "operations/RunJournal.h"
#include "operations/TargetTables.h"
#include "runtime/Dialogs.h"
#include "runtime/ErrorTrap.h"
#include "runtime/HeldFailures.h"
#include "runtime/Vendor.h"
#include "ui/AppIcon.h"
#include "ui/HoverFeedback.h"
#include "ui/MainModule.h"
#include "ui/ProgressBar.h"
#include "ui/PushButton.h"
#include "ui/Runtime.h"
#include "ui/ScreenFonts.h"
#include "ui/TableList.h"

namespace {

TableEntry entryAt(const TableList& list, int index) {
    return {list.entryText(index), list.entryData(index)};
}

QStringList namesIn(const TableList& list) {
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names << list.entryText(i);
    return names;
}

// A table counts as chosen when the list has a current entry or a selected one: "Select All"
// selects every entry and leaves no entry current.
bool nothingChosen(const TableList& list) {
    return list.listIndex() == -1 && list.selectedCount() == 0;
}

// Set while an operation or a load runs, so that a second click waits its turn.
class BusyScope {
  public:
    explicit BusyScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyScope() { flag_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    bool& flag_;
};

// A renamed entry leaves the list and comes back under its new name; entry 0 becomes current.
void replaceEntry(TableList& list, int index, const QString& newName, const QString& data = {}) {
    list.removeEntry(index);
    list.addEntry(newName, data);
    if (list.count() > 0)
        list.setListIndex(0);
}

}  // namespace

Form2::Form2(Runtime& runtime, const ConnectionSettings& connection, std::function<void()> back)
    : QWidget(nullptr), runtime_(runtime), connection_(connection), back_(std::move(back)) {
    setObjectName(QStringLiteral("Form2"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(ScreenFonts::text());
    setFixedSize(ScreenFonts::pixels(8040), ScreenFonts::pixels(5895));
    buildControls();
    connectHandlers();
}

void Form2::buildControls() {
    using ScreenFonts::fromTwips;
    const auto button = [](const char* name, const char* caption, QWidget* parent, QRect rect) {
        auto* made =
            new PushButton(QString::fromLatin1(name), QString::fromLatin1(caption), parent);
        made->setGeometry(rect);
        return made;
    };
    // Each side: a frame at `left` holding its list, both named after the side's tables.
    const auto makeSide = [this](const char* frame, const char* list, const char* tables,
                                 int left) {
        QGroupBox* made =
            ScreenFonts::makeFrame(QString::fromLatin1(frame), QString::fromLatin1(tables), this);
        made->setGeometry(fromTwips(left, 120, 3840, 4215));
        auto* entries = new TableList(QString::fromLatin1(list), made);
        entries->setAccessibleName(QString::fromLatin1(tables));
        entries->setGeometry(fromTwips(240, 360, 3330, 1635));
        return std::pair{made, entries};
    };
    std::tie(Frame1, List1) = makeSide("Frame1", "List1", "Sybase iAnywhere Tables", 120);
    PushButton10 = button("PushButton10", "Select All", Frame1, fromTwips(240, 2100, 1600, 400));
    PushButton11 = button("PushButton11", "Deselect All", Frame1, fromTwips(1960, 2100, 1600, 400));
    PushButton3 =
        button("PushButton3", "Send Table/s To Paradox", Frame1, fromTwips(240, 2600, 3330, 400));
    PushButton1 = button("PushButton1", "Delete Table/s", Frame1, fromTwips(240, 3100, 3330, 400));
    PushButton6 = button("PushButton6", "Rename Table", Frame1, fromTwips(240, 3600, 3330, 400));

    std::tie(Frame2, List2) = makeSide("Frame2", "List2", "Paradox Tables", 4080);
    PushButton8 = button("PushButton8", "Select All", Frame2, fromTwips(240, 2100, 1600, 405));
    PushButton9 = button("PushButton9", "Deselect All", Frame2, fromTwips(1960, 2100, 1600, 405));
    PushButton4 = button("PushButton4", "Send Table/s To Sybase iAny", Frame2,
                         fromTwips(240, 2600, 3330, 405));
    PushButton5 = button("PushButton5", "Delete Table/s", Frame2, fromTwips(240, 3100, 3330, 405));
    PushButton7 = button("PushButton7", "Rename Table", Frame2, fromTwips(240, 3600, 3330, 405));

    ProgressBar1 = new ProgressBar(QStringLiteral("ProgressBar1"), this);
    ProgressBar1->setGeometry(fromTwips(120, 4460, 7800, 405));
    ProgressBar1->setCaption(QStringLiteral("Progress Bar"));
    PushButton2 = button("PushButton2", "< Back", this, fromTwips(120, 4980, 3840, 405));
    PushButton12 = button("PushButton12", "Help", this, fromTwips(4080, 4980, 3840, 405));
    Check1 = new QCheckBox(QStringLiteral("Keep Paradox types, keys and rules"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setAccessibleName(Check1->text());
    Check1->setGeometry(fromTwips(120, 5460, 3840, 300));
    PushButton13 = button("PushButton13", "Stop", this, fromTwips(4080, 5430, 3840, 330));
    PushButton13->setAccessibleName(QStringLiteral("Stop the transfer"));
    PushButton13->setToolTip(QStringLiteral("Stop the transfer (Esc)"));
    PushButton13->setEnabled(false);

    // The buttons of each side carry the side in their accessible names; the captions repeat.
    for (auto [widget, side] : {std::pair{PushButton10, "Sybase iAnywhere"},
                                {PushButton11, "Sybase iAnywhere"},
                                {PushButton1, "Sybase iAnywhere"},
                                {PushButton6, "Sybase iAnywhere"},
                                {PushButton8, "Paradox"},
                                {PushButton9, "Paradox"},
                                {PushButton5, "Paradox"},
                                {PushButton7, "Paradox"}})
        widget->setAccessibleName(widget->text() + QStringLiteral(" (") + QLatin1String(side) +
                                  QLatin1Char(')'));

    const QList<QWidget*> order = {List1,       List2,        PushButton10, PushButton11,
                                   PushButton3, PushButton1,  PushButton6,  PushButton8,
                                   PushButton9, PushButton4,  PushButton5,  PushButton7,
                                   PushButton2, PushButton12, Check1,       PushButton13};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (QWidget* widget : order)
        widget->setFocusPolicy(Qt::StrongFocus);
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
}

void Form2::connectHandlers() {
    hover_ = new HoverFeedback(MousePointer, this);
    for (PushButton* button :
         {PushButton1, PushButton2, PushButton4, PushButton5, PushButton6, PushButton7, PushButton8,
          PushButton9, PushButton10, PushButton11, PushButton12, PushButton13})
        hover_->showHandOver(button);
    for (QWidget* widget : {static_cast<QWidget*>(this), static_cast<QWidget*>(Frame1),
                            static_cast<QWidget*>(Frame2)})
        hover_->showDefaultOver(widget);
    hover_->showDefaultOver(List2);
    hover_->leavePointerOver(ProgressBar1);

    const std::pair<PushButton*, void (Form2::*)()> clicks[] = {
        {PushButton1, &Form2::PushButton1_Click},   {PushButton2, &Form2::PushButton2_Click},
        {PushButton4, &Form2::PushButton4_Click},   {PushButton5, &Form2::PushButton5_Click},
        {PushButton6, &Form2::PushButton6_Click},   {PushButton7, &Form2::PushButton7_Click},
        {PushButton8, &Form2::PushButton8_Click},   {PushButton9, &Form2::PushButton9_Click},
        {PushButton10, &Form2::PushButton10_Click}, {PushButton11, &Form2::PushButton11_Click},
        {PushButton12, &Form2::PushButton12_Click}, {PushButton13, &Form2::PushButton13_Click},
    };
    for (const auto& [button, handler] : clicks)
        connect(button, &QPushButton::clicked, this, handler);
    connect(Check1, &QCheckBox::clicked, this, &Form2::Check1_Click);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &Form2::PushButton13_Click);
    // As on the command line: a statement that starts waiting after the stop is cancelled too.
    cancelWaiting_.setInterval(50);
    connect(&cancelWaiting_, &QTimer::timeout, this, [this] {
        if (!transfer_)
            return;
        transfer_->cancelRunningStatement();
        // A run that has not ended a few seconds after its stop waits on a data source that does
        // not answer.
        if (!offeredToEnd_ && stoppedClock_.elapsed() > 5000)
            offerToEnd();
    });
}

void Form2::Check1_Click() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.Check1_Click"));
    trap.step(100, [&] {
        runtime_.settings.write(SettingKeys::kKeepParadoxTypes,
                                Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    });
}

void Form2::Form_Load() {
    // A second "Next >" while the lists are built (a double click) would build them again
    // inside this load.
    if (operationRunning_)
        return;
    const BusyScope loading(operationRunning_);
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.Form_Load"));
    trap.step(100, [&] { Main::ApplyFaceColor(this); });
    trap.step(102, [&] { setWindowIcon(AppIcon::icon()); });
    const QString cursorFile = runtime_.applicationFolder + QStringLiteral("/HAND-M.CUR");
    if (trap.test(106, [&] { return Main::FileExists(cursorFile); }))
        trap.step(108, [&] { MousePointer.loadCustomIcon(cursorFile); });
    trap.step(110, [&] { setWindowTitle(Vendor::kProductTitle); });
    trap.step(112, [&] { List1->removeAll(); });
    trap.step(114, [&] { List2->removeAll(); });
    workTables_.clear();
    trap.step(116, [&] {
        repairTarget(trap);
        // A copy left unfinished is no table of the user's: the next copy of its table removes it.
        Sybase::ListSybaseTables(connection_.dataSourceName, [&](const QString& name) {
            if (TargetProduct::isWorkTableName(name) || RunJournal::isJournal(name))
                workTables_ << name;
            else
                List1->addEntry(name);
        });
    });
    trap.step(118, [&] {
        Paradox::ListParadoxTables(
            connection_.paradoxFolder, runtime_.dialogs,
            [&](const TableEntry& table) { List2->addEntry(table.name, table.file); });
    });
    // The window's outer height is the bottom of its last row plus 580 twips: the caption and
    // the borders, and a margin of 9 pixels under it.
    trap.step(120, [&] {
        const int lastRow =
            std::max(Check1->geometry().bottom(), PushButton13->geometry().bottom());
        setFixedHeight(lastRow + 1 + ScreenFonts::pixels(135));
    });
    trap.step(122, [&] {
        Check1->setChecked(runtime_.settings.read(SettingKeys::kKeepParadoxTypes) ==
                           QLatin1String("1"));
    });
}

void Form2::repairTarget(ErrorTrap& trap) {
    // What runs that ended part-way left on the target is completed before it is listed; a
    // data source that cannot be opened is told by the listing.
    JournalRepair::Outcome repaired;
    try {
        repaired = repairDataSource(connection_.dataSourceName);
    } catch (const std::exception&) {
        return;
    }
    if (!repaired.repaired.isEmpty())
        runtime_.dialogs.message(this, QStringLiteral("Repaired: ") +
                                           repaired.repaired.join(QStringLiteral("\nRepaired: ")));
    for (const QString& failure : repaired.failures)
        trap.report(116, std::runtime_error(("Not repaired: " + failure).toStdString()));
}

void Form2::setAllSelected(TableList& list, bool selected, const QString& procedure) {
    ErrorTrap trap(runtime_.dialogs, this, procedure);
    int count = 0;
    trap.step(100, [&] { count = list.count(); });
    for (int i = 0; i < count; ++i)
        trap.step(102, [&] { list.setEntrySelected(i, selected); });
}

void Form2::PushButton8_Click() {
    setAllSelected(*List2, true, QStringLiteral("Form2.PushButton8_Click"));
}

void Form2::PushButton9_Click() {
    setAllSelected(*List2, false, QStringLiteral("Form2.PushButton9_Click"));
}

void Form2::PushButton10_Click() {
    setAllSelected(*List1, true, QStringLiteral("Form2.PushButton10_Click"));
}

void Form2::PushButton11_Click() {
    setAllSelected(*List1, false, QStringLiteral("Form2.PushButton11_Click"));
}

void Form2::PushButton2_Click() {
    // Leaving the screen would let "Next >" rebuild the lists under the running operation.
    if (operationRunning_)
        return;
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.PushButton2_Click"));
    trap.step(100, [&] { back_(); });
    trap.step(102, [&] { hide(); });
}

void Form2::PushButton12_Click() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.PushButton12_Click"));
    trap.step(100, [&] {
        runtime_.dialogs.message(
            this,
            QStringLiteral("Questions? Please contact Team Quellory at ") + Vendor::kContactPage);
    });
}

void Form2::runOperation(const QString& procedure, const std::function<void(ErrorTrap&)>& handler) {
    runOperation(procedure, runtime_.dialogs, handler);
}

void Form2::runOperation(const QString& procedure, Dialogs& dialogs,
                         const std::function<void(ErrorTrap&)>& handler) {
    if (operationRunning_)
        return;
    const BusyScope running(operationRunning_);
    ErrorTrap trap(dialogs, this, procedure);
    handler(trap);
}

bool Form2::oneTableChosen(TableList& list, ErrorTrap& trap, int firstLine) {
    if (trap.test(firstLine, [&] { return nothingChosen(list); })) {
        trap.step(132, [&] {
            runtime_.dialogs.message(this, QStringLiteral("Please select a table to rename."));
        });
        return false;
    }
    if (trap.test(firstLine + 2, [&] { return list.selectedCount() != 1; })) {
        trap.step(130, [&] {
            runtime_.dialogs.message(this,
                                     QStringLiteral("Please select just one table to rename."));
        });
        return false;
    }
    return true;
}

QString Form2::askNewName(const QString& oldName) {
    return runtime_.dialogs.input(
        this, QStringLiteral("Enter new name of ") + oldName + QLatin1Char(':'), oldName);
}

// While a transfer runs: Stop is enabled, and the screen knows the transfer and its dialogs.
class Form2::StoppableTransfer {
  public:
    StoppableTransfer(Form2& form, TableTransfer& transfer, HeldFailures& dialogs) : form_(form) {
        form_.transfer_ = &transfer;
        form_.transferDialogs_ = &dialogs;
        form_.stopRequested_ = false;
        form_.closeRequested_ = false;
        form_.PushButton13->setEnabled(true);
    }
    ~StoppableTransfer() {
        form_.cancelWaiting_.stop();
        form_.transfer_ = nullptr;
        form_.transferDialogs_ = nullptr;
        form_.PushButton13->setEnabled(false);
        form_.tableEnded();
    }
    StoppableTransfer(const StoppableTransfer&) = delete;
    StoppableTransfer& operator=(const StoppableTransfer&) = delete;

  private:
    Form2& form_;
};

void Form2::PushButton4_Click() {
    // The failures a stop causes are told in its one box.
    HeldFailures dialogs(runtime_.dialogs);
    runOperation(QStringLiteral("Form2.PushButton4_Click"), dialogs, [&](ErrorTrap& trap) {
        if (trap.test(100, [&] { return nothingChosen(*List2); })) {
            trap.step(102, [&] {
                runtime_.dialogs.message(this, QStringLiteral("Please select a table to send."));
            });
            return;
        }
        HourglassScope busy(MousePointer);
        // The box's copy is the command line's --typed: a table per transaction, through a work
        // table that takes the table's name once checked. Without it, a statement per row.
        TableTransfer transfer(
            trap, dialogs, this, *this, namesIn(*List1) + workTables_,
            Check1->isChecked() ? TableTransfer::Mode::Fast : TableTransfer::Mode::StatementPerRow);
        transfer.setDamagedTables(TableTransfer::DamagedTables::Ask);
        if (Check1->isChecked()) {
            transfer.useTypedMapping();
            transfer.refreshOnYes();
        }
        StopLeft left;
        {
            const StoppableTransfer stoppable(*this, transfer, dialogs);
            if (transfer.open(connection_)) {
                copyChosenTables(transfer, trap, left);
                writeRefreshes(transfer, trap, left);
                // After a stop none are made: the box names the tables that miss theirs.
                left.keysLeftOut = transfer.makeRelationships();
            }
            transfer.close();
        }
        left.causes = dialogs.takeHeld();
        // A window being closed says only what a failure of the stop left.
        if (stopRequested_ && (!closeRequested_ || !left.causes.isEmpty()))
            tellWhatTheStopLeft(trap, left);
    });
    if (closeRequested_)
        Form_Unload();
}

void Form2::copyChosenTables(TableTransfer& transfer, ErrorTrap& trap, StopLeft& left) {
    for (int entry = List2->count() - 1; entry >= 0; --entry) {
        if (!trap.test(130, [&] { return List2->isEntrySelected(entry); }))
            continue;
        const TableEntry chosen = entryAt(*List2, entry);
        if (stopRequested_) {
            left.notCopied << chosen.name;
            continue;
        }
        tableCopied_ = chosen.name;
        const TableTransfer::Outcome outcome = transfer.copy(chosen);
        // Rows sent one by one under the table's own name stay: the table is incomplete.
        if (stopRequested_ && outcome != TableTransfer::Outcome::Done)
            (transfer.leftStanding() ? left.incomplete : left.notCopied)
                << (transfer.leftStanding()
                        ? chosen.name + QStringLiteral(": ") +
                              QLocale(QLocale::English).toString(transfer.rowsWritten()) +
                              QStringLiteral(" of ") +
                              QLocale(QLocale::English).toString(transfer.sourceRows()) +
                              QString::fromLatin1(transfer.sourceRows() == 1 ? " row arrived"
                                                                             : " rows arrived")
                        : chosen.name);
        if (outcome == TableTransfer::Outcome::TransferEnds)
            break;
        if (const TableTransfer::Refresh& refresh = transfer.lastRefresh(); refresh.held)
            ProgressBar1->setCaption(chosen.name + QStringLiteral(": refreshing, ") +
                                     QLocale(QLocale::English).toString(refresh.counts.changes()) +
                                     (refresh.counts.changes() == 1
                                          ? QStringLiteral(" row differs")
                                          : QStringLiteral(" rows differ")));
    }
}

void Form2::writeRefreshes(TableTransfer& transfer, ErrorTrap& trap, StopLeft& left) {
    for (const TableTransfer::Written& table : transfer.writeRefreshes()) {
        if (table.failure.isEmpty())
            continue;
        if (table.stopped)
            left.notCopied << table.entry.name;
        else
            trap.report(268, std::runtime_error(table.failure.toStdString()));
    }
}

void Form2::PushButton13_Click() {
    if (!transfer_ || stopRequested_)
        return;
    stopRequested_ = true;
    offeredToEnd_ = false;
    stoppedClock_.start();
    transferDialogs_->hold();
    PushButton13->setEnabled(false);
    ProgressBar1->setCaption(QStringLiteral("Stopping"));
    transfer_->cancelRunningStatement();
    cancelWaiting_.start();
}

void Form2::offerToEnd() {
    offeredToEnd_ = true;
    const bool end = runtime_.dialogs.question(
        this,
        QStringLiteral("The data source does not answer the stop. End the program now?\n\n"
                       "The table being copied may be left on the target as far as it got: its "
                       "work table ") +
            tableCopied_ +
            QStringLiteral("__morvane_new, or the rows sent so far under its "
                           "own name. The next transfer to this data source "
                           "completes what its journal names, and removes an "
                           "unfinished copy."),
        QStringLiteral("The data source does not answer"));
    if (end)
        runtime_.endProgramNow();
}

void Form2::tellWhatTheStopLeft(ErrorTrap& trap, const StopLeft& left) {
    QString text = left.notCopied.isEmpty() && left.incomplete.isEmpty()
                       ? QStringLiteral("The transfer was stopped once every table was copied.")
                       : QStringLiteral("The transfer was stopped.");
    if (!left.incomplete.isEmpty())
        text += QStringLiteral(" Incomplete: ") + left.incomplete.join(QStringLiteral("; ")) +
                QLatin1Char('.');
    if (!left.notCopied.isEmpty())
        text += QStringLiteral(" Not copied: ") + left.notCopied.join(QStringLiteral(", ")) +
                QLatin1Char('.');
    if (!left.keysLeftOut.isEmpty())
        text += QStringLiteral(" Foreign keys not made: those of ") +
                left.keysLeftOut.join(QStringLiteral(", ")) + QLatin1Char('.');
    for (const QString& cause : left.causes)
        text += QStringLiteral("\n") + cause;
    trap.step(280, [&] { runtime_.dialogs.message(this, text); });
}

void Form2::rowStarting(long long row, long long rows) {
    ProgressBar1->setPercent(double(row + 1) / double(rows) * 100.0);
    if (row == 0)
        tableClock_.start();
    // The text is set ten times a second at most: setting it repaints the bar.
    if (row != 0 && row + 1 != rows && captionClock_.isValid() && captionClock_.elapsed() < 100)
        return;
    captionClock_.start();
    ProgressBar1->setCaption(progressCaption(tableCopied_, row + 1, rows, tableClock_.elapsed()));
}

void Form2::tableEnded() {
    MousePointer.set(ScreenPointer::Default);
    ProgressBar1->setPercent(0);
    ProgressBar1->setCaption(QStringLiteral("Progress Bar"));
}

void Form2::targetDropped(const QString& name) {
    workTables_.removeAll(name);
    // RemoveListName: every entry exactly equal to the name.
    for (int i = List1->count() - 1; i >= 0; --i)
        if (List1->entryText(i) == name)
            List1->removeEntry(i);
}

void Form2::targetCreated(const QString& name) {
    List1->addEntry(name);
}

void Form2::PushButton1_Click() {
    runOperation(QStringLiteral("Form2.PushButton1_Click"), [&](ErrorTrap& trap) {
        HourglassScope busy(MousePointer);
        TargetTables target(trap);
        const bool connected = target.open(connection_);
        if (trap.test(106, [&] { return nothingChosen(*List1); })) {
            trap.step(108, [&] {
                runtime_.dialogs.message(this, QStringLiteral("Please select a table"));
            });
            return;
        }
        // Without a connection every drop would fail: the one report above says why.
        for (int i = List1->count() - 1; connected && i >= 0; --i) {
            if (!trap.test(110, [&] { return List1->isEntrySelected(i); }))
                continue;
            // An entry leaves the list only when its table was dropped.
            if (target.drop(List1->entryText(i)))
                trap.step(114, [&] { List1->removeEntry(i); });
        }
    });
}

void Form2::PushButton5_Click() {
    runOperation(QStringLiteral("Form2.PushButton5_Click"), [&](ErrorTrap& trap) {
        HourglassScope busy(MousePointer);
        if (trap.test(102, [&] { return nothingChosen(*List2); })) {
            trap.step(104, [&] {
                runtime_.dialogs.message(this, QStringLiteral("Please select a table to delete."));
            });
            return;
        }
        for (int i = List2->count() - 1; i >= 0; --i) {
            if (!trap.test(106, [&] { return List2->isEntrySelected(i); }))
                continue;
            if (ParadoxTables::remove(trap, entryAt(*List2, i)))
                trap.step(114, [&] { List2->removeEntry(i); });
        }
    });
}

void Form2::PushButton6_Click() {
    runOperation(QStringLiteral("Form2.PushButton6_Click"), [&](ErrorTrap& trap) {
        HourglassScope busy(MousePointer);
        TargetTables target(trap);
        const bool connected = target.open(connection_);
        // Without a connection the statement would fail too: the one report above says why.
        if (!oneTableChosen(*List1, trap, 106) || !connected)
            return;
        for (int i = List1->count() - 1; i >= 0; --i) {
            if (!trap.test(112, [&] { return List1->isEntrySelected(i); }))
                continue;
            const QString oldName = List1->entryText(i);
            QString newName;
            trap.step(116, [&] { newName = askNewName(oldName); });
            // The entry is replaced only when the database renamed the table.
            if (!newName.isEmpty() && target.rename(oldName, newName))
                trap.step(122, [&] { replaceEntry(*List1, i, newName); });
        }
    });
}

void Form2::PushButton7_Click() {
    runOperation(QStringLiteral("Form2.PushButton7_Click"), [&](ErrorTrap& trap) {
        HourglassScope busy(MousePointer);
        if (!oneTableChosen(*List2, trap, 102))
            return;
        for (int i = List2->count() - 1; i >= 0; --i) {
            if (!trap.test(108, [&] { return List2->isEntrySelected(i); }))
                continue;
            const TableEntry table = entryAt(*List2, i);
            QString newName;
            trap.step(112, [&] { newName = askNewName(table.name); });
            if (newName.isEmpty())
                continue;
            // The entry is replaced only when the files were renamed.
            if (const auto renamed = ParadoxTables::rename(runtime_.dialogs, this, table, newName))
                trap.step(122, [&] { replaceEntry(*List2, i, newName, *renamed); });
        }
    });
}

void Form2::Form_Unload() {
    runtime_.endProgram();
}

void Form2::closeEvent(QCloseEvent* event) {
    // The table being copied is rolled back, or its old table kept, before the program ends.
    if (transfer_) {
        closeRequested_ = true;
        PushButton13_Click();
        event->ignore();
        return;
    }
    event->accept();
    Form_Unload();
}
