#pragma once

#include <atomic>

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "operations/TableTransfer.h"
#include "ui/ScreenPointer.h"

class QCheckBox;
class QGroupBox;
class Dialogs;
class ErrorTrap;
class HeldFailures;
class HoverFeedback;
class ProgressBar;
class PushButton;
class TableList;
struct ConnectionSettings;
struct Runtime;

// The tables screen: the target database's tables on the left, the Paradox tables on the right,
// and the operations on both. It reads the current connection from the shell's settings value.
class Form2 : public QWidget, private TransferObserver {
    Q_OBJECT
  public:
    // `back` shows the connection screen.
    Form2(Runtime& runtime, const ConnectionSettings& connection, std::function<void()> back);

    QGroupBox* Frame1;
    TableList* List1;
    PushButton* PushButton10;
    PushButton* PushButton11;
    PushButton* PushButton3;
    PushButton* PushButton1;
    PushButton* PushButton6;
    QGroupBox* Frame2;
    TableList* List2;
    PushButton* PushButton8;
    PushButton* PushButton9;
    PushButton* PushButton4;
    PushButton* PushButton5;
    PushButton* PushButton7;
    ProgressBar* ProgressBar1;
    PushButton* PushButton2;
    PushButton* PushButton12;
    // Off: the tables screen's mapping (every column TEXT or NUMERIC). On: each column a type
    // that holds its field's values exactly, with the table's key and counter, as --typed does.
    QCheckBox* Check1;
    // Stops a running transfer, as Escape does; enabled only while one runs.
    PushButton* PushButton13;
    ScreenPointer MousePointer{this};

    void Form_Load();
    void Form_Unload();
    void PushButton1_Click();   // delete target tables
    void PushButton2_Click();   // back to the connection screen
    void PushButton4_Click();   // send Paradox tables to the target
    void PushButton5_Click();   // delete Paradox tables
    void PushButton6_Click();   // rename a target table
    void PushButton7_Click();   // rename a Paradox table
    void PushButton8_Click();   // select all Paradox tables
    void PushButton9_Click();   // deselect all Paradox tables
    void PushButton10_Click();  // select all target tables
    void PushButton11_Click();  // deselect all target tables
    void PushButton12_Click();  // help
    void Check1_Click();        // remember whether to keep Paradox types
    void PushButton13_Click();  // stop the transfer

    // True while a transfer, deletion or renaming runs, or the lists are loaded; clicks on those
    // buttons, "< Back" and "Next >" are ignored then.
    bool operationRunning() const { return operationRunning_; }

  protected:
    // Closing the window during a transfer stops it first; the program ends once it has.
    void closeEvent(QCloseEvent* event) override;

  private:
    class StoppableTransfer;

    void buildControls();
    void connectHandlers();
    void setAllSelected(TableList& list, bool selected, const QString& procedure);
    // Runs an operation's handler under its trap, unless another operation runs; the trap
    // reports through `dialogs`.
    void runOperation(const QString& procedure, const std::function<void(ErrorTrap&)>& handler);
    void runOperation(const QString& procedure, Dialogs& dialogs,
                      const std::function<void(ErrorTrap&)>& handler);
    // What a stop left undone: the tables not copied, the tables whose foreign keys were not
    // made, and what the stop's failures said.
    struct StopLeft {
        QStringList notCopied;
        QStringList incomplete;  // "ORDERS: 120 of 5,000 rows arrived"
        QStringList keysLeftOut;
        QStringList causes;
    };
    // Copies the chosen tables, from the last to the first; what a stop left in `left`.
    void copyChosenTables(TableTransfer& transfer, ErrorTrap& trap, StopLeft& left);
    // Writes the tables refreshed in place, together; each that was not is told, or named as
    // not copied after a stop.
    void writeRefreshes(TableTransfer& transfer, ErrorTrap& trap, StopLeft& left);
    // A stop that the data source does not answer: the question whether to end the program.
    void offerToEnd();
    // Completes what runs that ended part-way left on the target, and says so in a box.
    void repairTarget(ErrorTrap& trap);
    // The one box after a stop.
    void tellWhatTheStopLeft(ErrorTrap& trap, const StopLeft& left);
    // Whether the list has exactly one chosen entry; tells the user what is missing when not.
    // The two checks carry the line `firstLine` and the one after it.
    bool oneTableChosen(TableList& list, ErrorTrap& trap, int firstLine);
    QString askNewName(const QString& oldName);

    void rowStarting(long long row, long long rows) override;
    bool stopRequested() const override { return stopRequested_; }
    void tableEnded() override;
    void targetDropped(const QString& name) override;
    void targetCreated(const QString& name) override;

    Runtime& runtime_;
    const ConnectionSettings& connection_;
    std::function<void()> back_;
    HoverFeedback* hover_;
    bool operationRunning_ = false;
    // Work tables that earlier copies left on the target: kept out of List1, known to the copy.
    QStringList workTables_;
    // The table being copied, and the clocks of its progress text.
    QString tableCopied_;
    QElapsedTimer tableClock_;
    QElapsedTimer captionClock_;
    // The transfer that runs, and what a stop of it does: the failures it causes are held for
    // one box, and a statement waiting on another session's lock is cancelled until it ends.
    TableTransfer* transfer_ = nullptr;
    HeldFailures* transferDialogs_ = nullptr;
    std::atomic<bool> stopRequested_ = false;  // read by the transfer's other threads too
    bool closeRequested_ = false;
    bool offeredToEnd_ = false;  // the question whether to end the program was asked
    QElapsedTimer stoppedClock_;
    QTimer cancelWaiting_;
};
