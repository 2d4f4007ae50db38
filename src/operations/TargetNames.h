#pragma once

#include <QString>
#include <QStringList>

// The names of the target's tables as the transfer knows them: the target list it started
// from, changed by the transfer's own drops and creates. A table counts as existing exactly
// when its name is here in any letter case.
class TargetNames {
  public:
    explicit TargetNames(QStringList names) : names_(std::move(names)) {}

    // ListHasName: the name is here ignoring letter case.
    bool has(const QString& name) const;
    // The target's own spelling of a name that is here; the last one in list order wins.
    QString spellingOf(const QString& name) const;
    // RemoveListName: every name exactly equal to `name` goes.
    void remove(const QString& name);
    // Inserted where the list would sort it: ignoring letter case, after equal names.
    void add(const QString& name);

  private:
    QStringList names_;
};
