#pragma once

#include <QWidget>

#include <memory>

#include "ScreenPointer.h"
#include "ui/SkinFramework.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class PushButton;
class HoverFeedback;
class ErrorTrap;
class Form2;
struct Runtime;

// The connection screen and start-up screen: the Paradox folder and the data source name, the
// program's only record of the current connection.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(Runtime& runtime);
    ~Form1() override;

    // Loads the screen and shows it, unless start-up moved on to the tables screen.
    void start();

    QString paradoxFolder() const;
    QString dataSourceName() const;
    Runtime& runtime() const { return runtime_; }
    // The tables screen, created (and loaded) on first use.
    Form2& tablesScreen();
    bool hasTablesScreen() const { return form2_ != nullptr; }
    // Shows the screen, centred the first time.
    void showScreen();

    QGroupBox* Frame1;
    QLabel* Label2;
    QLineEdit* Text1;
    PushButton* PushButton5;
    PushButton* PushButton6;
    PushButton* PushButton3;
    QGroupBox* Frame2;
    QLabel* Label5;
    QLineEdit* Text2;
    PushButton* PushButton1;
    PushButton* PushButton4;
    PushButton* PushButton2;
    SkinFramework SkinFramework1;
    ScreenPointer MousePointer{this};

    // Start-up and closing.
    void Form_Load();
    void Form_Unload();
    // The way to the tables screen: the end of the start-up (lines 132 to 138), and "Next >".
    void MoveToTablesScreen(ErrorTrap& startUpTrap);
    void PushButton2_Click();
    // The connection screen's buttons and boxes.
    void PushButton1_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void Text1_Change();
    void Text2_Change();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();
    void writeSetting(const QString& key, const QString& value);

    Runtime& runtime_;
    HoverFeedback* hover_;
    std::unique_ptr<Form2> form2_;
    bool movedToTablesScreen_ = false;
    bool shownBefore_ = false;
};

// Ends the program at once: every screen closes, no further handler runs.
void EndProgram();
