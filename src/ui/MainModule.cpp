#include "MainModule.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "Runtime.h"
#include "SkinFramework.h"
#include "runtime/Dialogs.h"
#include "runtime/EventPump.h"
#include "runtime/Vendor.h"

namespace Main {

namespace {

void paintFace(QWidget* widget, const QColor& face) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, face);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

void ApplyFaceColor(QWidget* screen) {
    const QColor face = screen->palette().color(QPalette::Button);
    paintFace(screen, face);
    for (QWidget* child : screen->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child) ||
            qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child))
            paintFace(child, face);
    }
}

void ApplySkin(QWidget& screen, SkinFramework& skin, const QString& applicationFolder) {
    const QString skinFile = applicationFolder + QStringLiteral("/x/o.cjs");
    if (!QFileInfo(skinFile).isFile())
        return;
    ApplyFaceColor(&screen);
    skin.loadSkin(skinFile, QString());
    skin.setProperty(1, skin.property(1) | 1);
    skin.setProperty(5, true);
    skin.setProperty(10, true);
    skin.applyWindow(&screen);
}

QString ApplicationTitleFor(const QString& productTitle) {
    QString title = productTitle;
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;  // a title without a blank has no word to lose
        title.truncate(blank);
    } while (title.size() > 40);
    return title.left(40);
}

void SetAppTitle(Runtime& runtime) {
    runtime.dialogs.setApplicationTitle(ApplicationTitleFor(Vendor::kProductTitle));
}

void OpenHomePageRarely(const Runtime& runtime) {
    if (runtime.drawOneToHundred() == 7)
        runtime.openUrl(QUrl(Vendor::kHomePage));
}

}  // namespace Main

void EndProgram() {
    RequestProgramEnd();
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}
