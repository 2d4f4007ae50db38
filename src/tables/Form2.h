#pragma once

#include <QWidget>

#include "app/ScreenPointer.h"

class QGroupBox;
class Form1;
class HoverFeedback;
class ProgressBar;
class PushButton;
class TableList;
struct Runtime;

// The tables screen: the target database's tables on the left, the Paradox tables on the right,
// and the operations on both.
class Form2 : public QWidget {
    Q_OBJECT
  public:
    Form2(Runtime& runtime, Form1& form1);

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

    // True while a transfer, deletion or renaming runs; clicks on those buttons are ignored then.
    bool operationRunning() const { return operationRunning_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    class OperationScope;
    void buildControls();
    void connectHandlers();
    void setAllSelected(TableList& list, bool selected, const QString& procedure);

    Runtime& runtime_;
    Form1& form1_;
    HoverFeedback* hover_;
    bool operationRunning_ = false;
};

// Marks an operation as running for as long as it lives; `started()` is false when another one
// already runs, and the click is then ignored.
class Form2::OperationScope {
  public:
    explicit OperationScope(Form2& form) : form_(form), started_(!form.operationRunning_) {
        form_.operationRunning_ = true;
    }
    ~OperationScope() {
        if (started_)
            form_.operationRunning_ = false;
    }
    OperationScope(const OperationScope&) = delete;
    OperationScope& operator=(const OperationScope&) = delete;
    bool started() const { return started_; }

  private:
    Form2& form_;
    bool started_;
};
