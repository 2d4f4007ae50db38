#include "Form2.h"

#include <QCloseEvent>
#include <QGroupBox>

#include "app/ErrorTrap.h"
#include "app/Form1.h"
#include "app/HoverFeedback.h"
#include "app/MainModule.h"
#include "app/Runtime.h"
#include "app/Vendor.h"
#include "data/ParadoxModule.h"
#include "data/SybaseModule.h"
#include "ui/AppIcon.h"
#include "ui/Dialogs.h"
#include "ui/ProgressBar.h"
#include "ui/PushButton.h"
#include "ui/ScreenFonts.h"
#include "ui/TableList.h"

Form2::Form2(Runtime& runtime, Form1& form1) : QWidget(nullptr), runtime_(runtime), form1_(form1) {
    setObjectName(QStringLiteral("Form2"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(ScreenFonts::text());
    setFixedSize(ScreenFonts::pixels(8040), ScreenFonts::pixels(5520));
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
    Frame1 = ScreenFonts::makeFrame(QStringLiteral("Frame1"),
                                    QStringLiteral("Sybase iAnywhere Tables"), this);
    Frame1->setGeometry(fromTwips(120, 120, 3840, 4215));
    List1 = new TableList(QStringLiteral("List1"), Frame1);
    List1->setAccessibleName(QStringLiteral("Sybase iAnywhere Tables"));
    List1->setGeometry(fromTwips(240, 360, 3330, 1635));
    PushButton10 = button("PushButton10", "Select All", Frame1, fromTwips(240, 2100, 1600, 400));
    PushButton11 = button("PushButton11", "Deselect All", Frame1, fromTwips(1960, 2100, 1600, 400));
    PushButton3 =
        button("PushButton3", "Send Table/s To Paradox", Frame1, fromTwips(240, 2600, 3330, 400));
    PushButton1 = button("PushButton1", "Delete Table/s", Frame1, fromTwips(240, 3100, 3330, 400));
    PushButton6 = button("PushButton6", "Rename Table", Frame1, fromTwips(240, 3600, 3330, 400));

    Frame2 =
        ScreenFonts::makeFrame(QStringLiteral("Frame2"), QStringLiteral("Paradox Tables"), this);
    Frame2->setGeometry(fromTwips(4080, 120, 3840, 4215));
    List2 = new TableList(QStringLiteral("List2"), Frame2);
    List2->setAccessibleName(QStringLiteral("Paradox Tables"));
    List2->setGeometry(fromTwips(240, 360, 3330, 1635));
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

    const QList<QWidget*> order = {List1,       List2,       PushButton10, PushButton11,
                                   PushButton3, PushButton1, PushButton6,  PushButton8,
                                   PushButton9, PushButton4, PushButton5,  PushButton7,
                                   PushButton2, PushButton12};
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
          PushButton9, PushButton10, PushButton11, PushButton12})
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
        {PushButton12, &Form2::PushButton12_Click},
    };
    for (const auto& [button, handler] : clicks)
        connect(button, &QPushButton::clicked, this, handler);
}

void Form2::Form_Load() {
    ErrorTrap trap(runtime_.dialogs, this, QStringLiteral("Form2.Form_Load"));
    trap.step(100, [&] { Main::ApplyFaceColor(this); });
    trap.step(102, [&] { setWindowIcon(AppIcon::icon()); });
    const QString cursorFile = runtime_.applicationFolder + QStringLiteral("/HAND-M.CUR");
    if (trap.test(106, [&] { return Main::FileExists(cursorFile); }))
        trap.step(108, [&] { MousePointer.loadCustomIcon(cursorFile); });
    trap.step(110, [&] { setWindowTitle(Vendor::kProductTitle); });
    trap.step(112, [&] { List1->removeAll(); });
    trap.step(114, [&] { List2->removeAll(); });
    trap.step(116, [&] { Sybase::ListSybaseTables(*List1, form1_.dataSourceName()); });
    trap.step(
        118, [&] { Paradox::ListParadoxTables(*List2, form1_.paradoxFolder(), runtime_.dialogs); });
    // The window's outer height is the bottom of "< Back" plus 580 twips: the caption and the
    // borders, and a margin of 9 pixels under the buttons.
    trap.step(120, [&] {
        setFixedHeight(PushButton2->geometry().bottom() + 1 + ScreenFonts::pixels(135));
    });
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
    trap.step(100, [&] { form1_.showScreen(); });
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

void Form2::Form_Unload() {
    EndProgram();
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}
