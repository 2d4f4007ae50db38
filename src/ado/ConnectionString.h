#pragma once

#include <QString>

#include <map>

namespace ado {

// A connection string read as ODBC reads one: KEY=VALUE pairs separated by ";", keywords
// without regard to case, a value in braces may hold ";" (and "}}" for a brace).
class ConnectionString {
  public:
    explicit ConnectionString(const QString& text);

    bool has(const QString& keyword) const;
    QString value(const QString& keyword) const;
    const std::map<QString, QString>& pairs() const { return pairs_; }

    // The value as it must be written after "KEY=": in braces when it holds ";" or a brace.
    static QString quoted(const QString& value);

  private:
    std::map<QString, QString> pairs_;  // keywords in lower case
};

}  // namespace ado
