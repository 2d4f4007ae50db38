#include "SkinFramework.h"

#include <QFile>
#include <QWidget>

#include <stdexcept>

void SkinFramework::loadSkin(const QString& path, const QString& ini) {
    calls_ << QStringLiteral("load(%1,%2)").arg(path, ini);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("The skin file " + path.toStdString() +
                                 " cannot be read: " + file.errorString().toStdString());
    styleSheet_ = QString::fromUtf8(file.readAll());
}

int SkinFramework::property(int id) const {
    return id >= 0 && id < 16 ? properties_[id] : 0;
}

void SkinFramework::setProperty(int id, int value) {
    calls_ << QStringLiteral("property%1=%2").arg(id).arg(value);
    if (id >= 0 && id < 16)
        properties_[id] = value;
}

void SkinFramework::applyWindow(QWidget* window) {
    calls_ << QStringLiteral("apply(%1)").arg(window->objectName());
    window->setStyleSheet(styleSheet_);
}
