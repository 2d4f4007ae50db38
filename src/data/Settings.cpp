#include "Settings.h"

#include <QDir>
#include <QSettings>

#include <stdexcept>

namespace {
const QString kSection = QStringLiteral("Morvane Conversion Software");
}

Settings::Settings(QString iniPath) : path_(std::move(iniPath)) {}

QString Settings::defaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Quellory/Quellory.ini");
}

QString Settings::read(const QString& key) const {
    QSettings store(path_, QSettings::IniFormat);
    return store.value(kSection + QLatin1Char('/') + key, QString()).toString();
}

void Settings::write(const QString& key, const QString& value) {
    QSettings store(path_, QSettings::IniFormat);
    store.setValue(kSection + QLatin1Char('/') + key, value);
    store.sync();
    if (store.status() != QSettings::NoError)
        throw std::runtime_error("The setting " + key.toStdString() + " cannot be saved in " +
                                 path_.toStdString() + ".");
}
