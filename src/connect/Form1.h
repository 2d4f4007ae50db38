#pragma once

#include <QWidget>

#include <functional>

#include "ui/ScreenPointer.h"
#include "ui/SkinFramework.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class PushButton;
class HoverFeedback;
class ErrorTrap;
struct ConnectionSettings;
struct Runtime;

// The connection screen and start-up screen: the Paradox folder and the data source name. What
// its two boxes hold is the current connection, which it keeps in the shell's settings value.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    // How this screen reaches the tables screen; the shell provides them.
    struct TablesScreenMoves {
        std::function<void()> load;  // rebuild both lists
        std::function<void()> show;  // show it, created and loaded on first use
        std::function<bool()> busy;  // an operation runs there
    };

    Form1(Runtime& runtime, ConnectionSettings& connection, TablesScreenMoves moves);
    ~Form1() override;

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

    // Start-up: fills the boxes and, when both sides are usable, moves on to the tables screen
    // (true then).
    bool Form_Load();
    void Form_Unload();
    void PushButton1_Click();  // test the data source
    void PushButton2_Click();  // "Next >"
    void PushButton3_Click();  // test the Paradox folder
    void PushButton4_Click();  // help on data sources
    void PushButton5_Click();  // folder chooser
    void PushButton6_Click();  // the sample folder
    void Text1_Change();
    void Text2_Change();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();
    void writeSetting(const QString& key, const QString& value);
    // The end of the start-up (lines 132 to 138); true when it moved on.
    bool moveToTablesScreen(ErrorTrap& startUpTrap);

    Runtime& runtime_;
    ConnectionSettings& connection_;
    TablesScreenMoves moves_;
    HoverFeedback* hover_;
    bool shownBefore_ = false;
};
