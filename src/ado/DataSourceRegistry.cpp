#include "DataSourceRegistry.h"

#include <odbcinst.h>

#include <QByteArrayList>

namespace ado {

namespace {

constexpr int kRoom = 16384;

// The names of a section's entries, in the installer's current mode.
QByteArrayList keysOf(const QByteArray& section) {
    QByteArray entries(kRoom, '\0');
    const int length = SQLGetPrivateProfileString(section.constData(), nullptr, "", entries.data(),
                                                  kRoom, "odbc.ini");
    QByteArrayList keys = entries.left(std::max(length, 0)).split('\0');
    keys.removeAll(QByteArray());
    return keys;
}

QByteArray valueOf(const QByteArray& section, const QByteArray& key) {
    QByteArray value(kRoom, '\0');
    const int length = SQLGetPrivateProfileString(section.constData(), key.constData(), "",
                                                  value.data(), kRoom, "odbc.ini");
    return value.left(std::max(length, 0));
}

}  // namespace

std::optional<DataSourceDefinition> lookUpDataSource(const QString& name) {
    const QByteArray section = name.toUtf8();
    for (const QByteArray& defined : {section, QByteArrayLiteral("Default")})
        if (!keysOf(defined).isEmpty())
            return DataSourceDefinition{};
    // unixODBC passes over a user odbc.ini that it cannot write when it looks in both the
    // user's and the system's files, as drivers do; in the user's own mode it reads it. Such a
    // data source is opened with its settings given to the driver along with its name.
    SQLSetConfigMode(ODBC_USER_DSN);
    DataSourceDefinition definition;
    for (const QByteArray& key : keysOf(section))
        definition.keywordsToPass.emplace_back(QString::fromUtf8(key),
                                               QString::fromUtf8(valueOf(section, key)));
    SQLSetConfigMode(ODBC_BOTH_DSN);
    if (definition.keywordsToPass.empty())
        return std::nullopt;
    return definition;
}

std::map<QString, QString> dataSourceSettings(const QString& name) {
    const QByteArray section = name.toUtf8();
    std::map<QString, QString> settings;
    for (const UWORD mode : {UWORD{ODBC_USER_DSN}, UWORD{ODBC_BOTH_DSN}}) {
        SQLSetConfigMode(mode);
        for (const QByteArray& key : keysOf(section))
            settings.emplace(QString::fromUtf8(key).toLower(),
                             QString::fromUtf8(valueOf(section, key)));
    }
    return settings;
}

}  // namespace ado
