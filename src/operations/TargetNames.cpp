#include "TargetNames.h"

#include <algorithm>

bool TargetNames::has(const QString& name) const {
    const QString lower = name.toLower();
    return std::any_of(names_.begin(), names_.end(),
                       [&](const QString& entry) { return entry.toLower() == lower; });
}

QString TargetNames::spellingOf(const QString& name) const {
    QString spelling = name;
    for (const QString& entry : names_)
        if (entry.toLower() == name.toLower())
            spelling = entry;
    return spelling;
}

void TargetNames::remove(const QString& name) {
    names_.removeAll(name);
}

void TargetNames::add(const QString& name) {
    const auto at = std::upper_bound(names_.begin(), names_.end(), name,
                                     [](const QString& a, const QString& b) {
                                         return QString::compare(a, b, Qt::CaseInsensitive) < 0;
                                     });
    names_.insert(at, name);
}
