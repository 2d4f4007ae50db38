#include "MainModule.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include <sys/stat.h>

#include "Form1.h"
#include "Runtime.h"
#include "Vendor.h"
#include "ui/Dialogs.h"

namespace Main {

bool FileExists(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

bool FolderExists(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode);
}

QString FileNameFromPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

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

void ApplySkin(Form1& form, const Runtime& runtime) {
    const QString skin = runtime.applicationFolder + QStringLiteral("/x/o.cjs");
    if (!QFileInfo(skin).isFile())
        return;
    ApplyFaceColor(&form);
    SkinFramework& skinFramework = form.SkinFramework1;
    skinFramework.loadSkin(skin, QString());
    skinFramework.setProperty(1, skinFramework.property(1) | 1);
    skinFramework.setProperty(5, true);
    skinFramework.setProperty(10, true);
    skinFramework.applyWindow(&form);
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
