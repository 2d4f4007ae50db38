#include "Form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "ErrorTrap.h"
#include "EventPump.h"
#include "HoverFeedback.h"
#include "MainModule.h"
#include "Runtime.h"
#include "Settings.h"
#include "Vendor.h"
#include "tables/Form2.h"
#include "ui/AppIcon.h"
#include "ui/Dialogs.h"
#include "ui/PushButton.h"
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

}  // namespace

Form1::Form1(Runtime& runtime) : QWidget(nullptr), runtime_(runtime) {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(ScreenFonts::pixels(8040), ScreenFonts::pixels(3735));
    buildControls();
    connectHandlers();
}

Form1::~Form1() = default;

Form2& Form1::tablesScreen() {
    if (!form2_) {
        form2_ = std::make_unique<Form2>(runtime_, *this);
        form2_->Form_Load();  // the screen's load event
        ScreenFonts::centreOnScreen(*form2_);
    }
    return *form2_;
}

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

QString Form1::paradoxFolder() const {
    return Text1->text();
}

QString Form1::dataSourceName() const {
    return Text2->text();
}

void Form1::start() {
    Form_Load();
    if (!movedToTablesScreen_)
        showScreen();
    Text1->setFocus(Qt::OtherFocusReason);
}

void Form1::showScreen() {
    // Centred on its first showing, whichever way that comes; after that where the user left it.
    if (!shownBefore_)
        ScreenFonts::centreOnScreen(*this);
    shownBefore_ = true;
    show();
}

void Form1::Form_Load() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form1.Form_Load"));
    trap.step(100, [&] { Main::ApplySkin(*this, runtime_); });
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
    MoveToTablesScreen(trap);
}

void Form1::Form_Unload() {
    EndProgram();
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
    writeSetting(SettingKeys::kParadoxFolder, Text1->text());
}

void Form1::Text2_Change() {
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

void EndProgram() {
    RequestProgramEnd();
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}
