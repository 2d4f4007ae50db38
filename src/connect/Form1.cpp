#include "Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "FolderPicker.h"
#include "ado/Connection.h"
#include "data/ConnectionSettings.h"
#include "data/FileChecks.h"
#include "data/ParadoxModule.h"
#include "data/Settings.h"
#include "data/SybaseModule.h"
#include "runtime/Dialogs.h"
#include "runtime/ErrorTrap.h"
#include "runtime/EventPump.h"
#include "runtime/Vendor.h"
#include "ui/AppIcon.h"
#include "ui/HoverFeedback.h"
#include "ui/MainModule.h"
#include "ui/PushButton.h"
#include "ui/Runtime.h"
#include "ui/ScreenFonts.h"

namespace {

QLabel* makeLabel(const QString& name, const QString& caption, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setFont(ScreenFonts::text());
    return label;
}

QLineEdit* makeBox(const QString& name, const QString& accessibleName, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setFont(ScreenFonts::text());
    return box;
}

void paintWhite(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

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

Form1::Form1(Runtime& runtime, ConnectionSettings& connection, TablesScreenMoves moves)
    : QWidget(nullptr), runtime_(runtime), connection_(connection), moves_(std::move(moves)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(ScreenFonts::pixels(8040), ScreenFonts::pixels(3735));
    buildControls();
    connectHandlers();
}

Form1::~Form1() = default;

void Form1::buildControls() {
    using ScreenFonts::fromTwips;
    paintWhite(this);
    Frame1 =
        ScreenFonts::makeFrame(QStringLiteral("Frame1"), QStringLiteral("Paradox Database"), this);
    Frame1->setGeometry(fromTwips(120, 120, 7800, 1425));
    Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("Paradox Folder:"), Frame1);
    Label2->setGeometry(fromTwips(240, 405, 1455, 255));
    Text1 = makeBox(QStringLiteral("Text1"), QStringLiteral("Paradox Folder"), Frame1);
    Text1->setGeometry(fromTwips(1680, 360, 5055, 345));
    PushButton5 = new PushButton(QStringLiteral("PushButton5"), QStringLiteral("..."), Frame1);
    PushButton5->setAccessibleName(QStringLiteral("Browse for the Paradox folder"));
    PushButton5->setGeometry(fromTwips(6840, 360, 675, 345));
    PushButton6 = new PushButton(QStringLiteral("PushButton6"),
                                 QStringLiteral("Load Sample/Example Database"), Frame1);
    PushButton6->setGeometry(fromTwips(240, 840, 3600, 405));
    PushButton3 =
        new PushButton(QStringLiteral("PushButton3"), QStringLiteral("Test Connection"), Frame1);
    PushButton3->setAccessibleName(QStringLiteral("Test Paradox Connection"));
    PushButton3->setGeometry(fromTwips(3960, 840, 3600, 405));

    Frame2 = ScreenFonts::makeFrame(QStringLiteral("Frame2"),
                                    QStringLiteral("Sybase iAnywhere Database"), this);
    Frame2->setGeometry(fromTwips(120, 1670, 7800, 1425));
    Label5 = makeLabel(QStringLiteral("Label5"), QStringLiteral("Data Source Name:"), Frame2);
    Label5->setGeometry(fromTwips(240, 405, 1695, 255));
    Text2 = makeBox(QStringLiteral("Text2"), QStringLiteral("Data Source Name"), Frame2);
    Text2->setGeometry(fromTwips(2040, 360, 5535, 345));
    PushButton1 =
        new PushButton(QStringLiteral("PushButton1"), QStringLiteral("Test Connection"), Frame2);
    PushButton1->setAccessibleName(QStringLiteral("Test Data Source Connection"));
    PushButton1->setGeometry(fromTwips(240, 840, 3600, 405));
    PushButton4 = new PushButton(QStringLiteral("PushButton4"), QStringLiteral("Help"), Frame2);
    PushButton4->setGeometry(fromTwips(3960, 840, 3600, 405));

    PushButton2 = new PushButton(QStringLiteral("PushButton2"), QStringLiteral("Next >"), this);
    PushButton2->setGeometry(fromTwips(120, 3210, 7800, 405));

    for (QWidget* widget : {static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
                            static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label5)})
        paintWhite(widget);
    Label2->setBuddy(Text1);
    Label5->setBuddy(Text2);

    // Focus order: the two boxes, "...", both tests, "Help", "Next >", the sample folder.
    const QList<QWidget*> order = {Text1,       Text2,       PushButton5, PushButton3,
                                   PushButton1, PushButton4, PushButton2, PushButton6};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
    for (QWidget* widget : order)
        widget->setFocusPolicy(Qt::StrongFocus);
}

void Form1::connectHandlers() {
    hover_ = new HoverFeedback(MousePointer, this);
    for (PushButton* button :
         {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6})
        hover_->showHandOver(button);
    for (QWidget* widget :
         {static_cast<QWidget*>(this), static_cast<QWidget*>(Frame1), static_cast<QWidget*>(Frame2),
          static_cast<QWidget*>(Text1), static_cast<QWidget*>(Text2)})
        hover_->showDefaultOver(widget);
    hover_->leavePointerOver(Label2);
    hover_->leavePointerOver(Label5);

    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    Text1->installEventFilter(this);
    Text2->installEventFilter(this);
}

void Form1::showScreen() {
    // Centred on its first showing, whichever way that comes; after that where the user left it.
    if (!shownBefore_)
        ScreenFonts::centreOnScreen(*this);
    shownBefore_ = true;
    show();
}

bool Form1::Form_Load() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.Form_Load"));
    trap.step(100, [&] { Main::ApplySkin(*this, SkinFramework1, runtime_.applicationFolder); });
    trap.step(104, [&] {
        setWindowTitle(Vendor::kProductTitle);
        setWindowIcon(AppIcon::icon());
        Main::SetAppTitle(runtime_);
    });
    trap.step(106, [&] { Main::OpenHomePageRarely(runtime_); });
    const QString cursorFile = runtime_.applicationFolder + QStringLiteral("/HAND-M.CUR");
    if (trap.test(124, [&] { return Main::FileExists(cursorFile); }))
        trap.step(126, [&] { MousePointer.loadCustomIcon(cursorFile); });
    trap.step(128, [&] { Text1->setText(runtime_.settings.read(SettingKeys::kParadoxFolder)); });
    trap.step(130, [&] { Text2->setText(runtime_.settings.read(SettingKeys::kDataSourceName)); });
    return moveToTablesScreen(trap);
}

void Form1::Form_Unload() {
    runtime_.endProgram();
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void Form1::writeSetting(const QString& key, const QString& value) {
    // The box handlers have no trap: a failed write is told plainly and typing goes on.
    try {
        runtime_.settings.write(key, value);
    } catch (const std::exception& failure) {
        runtime_.dialogs.unhandled(this, describe(failure));
    }
}

void Form1::Text1_Change() {
    connection_.paradoxFolder = Text1->text();
    writeSetting(SettingKeys::kParadoxFolder, Text1->text());
}

void Form1::Text2_Change() {
    connection_.dataSourceName = Text2->text();
    writeSetting(SettingKeys::kDataSourceName, Text2->text());
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        // Queued, so that the click that gave the focus does not undo the selection.
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            QTimer::singleShot(0, box, &QLineEdit::selectAll);
    }
    return QWidget::eventFilter(watched, event);
}

bool Form1::moveToTablesScreen(ErrorTrap& startUpTrap) {
    if (!startUpTrap.test(132, [&] { return Paradox::ParadoxFolderHasTables(Text1->text()); }))
        return false;
    if (!startUpTrap.test(134, [&] { return Sybase::TestDataSource(Text2->text()); }))
        return false;
    startUpTrap.step(136, [&] { moves_.show(); });
    startUpTrap.step(138, [&] { hide(); });
    return true;
}

void Form1::PushButton2_Click() {
    // The lists are not rebuilt under a running operation.
    if (moves_.busy())
        return;
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.PushButton2_Click"));
    HourglassScope busy(MousePointer);
    if (trap.test(102, [&] { return Paradox::ParadoxFolderHasTables(Text1->text()); }) &&
        trap.test(104, [&] { return Sybase::TestDataSource(Text2->text()); })) {
        trap.step(106, [&] { moves_.load(); });
        trap.step(108, [&] { moves_.show(); });
        trap.step(110, [&] { hide(); });
    }
}

void Form1::PushButton1_Click() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.PushButton1_Click"));
    std::unique_ptr<ado::Connection> connection;
    trap.step(100, [&] { connection = std::make_unique<ado::Connection>(); });
    HourglassScope busy(MousePointer);
    // From here a failure is this handler's own: it means the data source cannot be reached.
    try {
        if (!connection)
            throw std::runtime_error("no connection object");
        connection->Open(Sybase::DsnConnectionString(Text2->text()));
        runtime_.dialogs.message(this, QStringLiteral("Connection successful."));
    } catch (const std::exception&) {
        runtime_.dialogs.message(
            this, QStringLiteral("Could not connect. Please check with your administrator."));
    }
}

void Form1::PushButton3_Click() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.PushButton3_Click"));
    HourglassScope busy(MousePointer);
    if (trap.test(104, [&] { return Paradox::ParadoxFolderHasTables(Text1->text()); }))
        trap.step(
            106, [&] { runtime_.dialogs.message(this, QStringLiteral("Connection successful.")); });
    else
        trap.step(108,
                  [&] { runtime_.dialogs.message(this, QStringLiteral("Could not connect.")); });
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
