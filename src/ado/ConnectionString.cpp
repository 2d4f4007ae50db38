#include "ConnectionString.h"

namespace ado {

ConnectionString::ConnectionString(const QString& text) {
    qsizetype at = 0;
    const qsizetype end = text.size();
    while (at < end) {
        const qsizetype equals = text.indexOf(QLatin1Char('='), at);
        if (equals < 0)
            break;
        const QString keyword = text.mid(at, equals - at).trimmed().toLower();
        QString value;
        at = equals + 1;
        if (at < end && text[at] == QLatin1Char('{')) {
            ++at;
            while (at < end) {
                if (text[at] == QLatin1Char('}')) {
                    if (at + 1 < end && text[at + 1] == QLatin1Char('}')) {
                        value += QLatin1Char('}');
                        at += 2;
                        continue;
                    }
                    ++at;
                    break;
                }
                value += text[at++];
            }
            const qsizetype semicolon = text.indexOf(QLatin1Char(';'), at);
            at = semicolon < 0 ? end : semicolon + 1;
        } else {
            const qsizetype semicolon = text.indexOf(QLatin1Char(';'), at);
            const qsizetype stop = semicolon < 0 ? end : semicolon;
            value = text.mid(at, stop - at);
            at = stop + 1;
        }
        if (!keyword.isEmpty() && !pairs_.count(keyword))
            pairs_[keyword] = value;
    }
}

bool ConnectionString::has(const QString& keyword) const {
    return pairs_.count(keyword.toLower()) > 0;
}

QString ConnectionString::value(const QString& keyword) const {
    const auto found = pairs_.find(keyword.toLower());
    return found == pairs_.end() ? QString() : found->second;
}

QString ConnectionString::quoted(const QString& value) {
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) &&
        !value.contains(QLatin1Char('}')))
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QStringLiteral("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

}  // namespace ado
