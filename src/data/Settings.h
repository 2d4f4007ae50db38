#pragma once

#include <QString>

// The per-user settings: one INI file, application "Quellory", section "Morvane Conversion
// Software". Every value is read afresh and written at once, so two running instances share
// them and the last change wins.
class Settings {
  public:
    explicit Settings(QString iniPath);

    // $XDG_CONFIG_HOME/Quellory/Quellory.ini, ~/.config when the variable is unset.
    static QString defaultPath();

    const QString& path() const { return path_; }
    QString read(const QString& key) const;
    // Throws when the value cannot be stored.
    void write(const QString& key, const QString& value);

  private:
    QString path_;
};

namespace SettingKeys {
inline const QString kParadoxFolder = QStringLiteral("ParadoxFolder");
inline const QString kDataSourceName = QStringLiteral("DataSourceName");
inline const QString kLastFolderDot = QStringLiteral("LastFolderDot");
// "1" when the tables screen keeps Paradox types, keys and rules.
inline const QString kKeepParadoxTypes = QStringLiteral("KeepParadoxTypes");
}  // namespace SettingKeys
