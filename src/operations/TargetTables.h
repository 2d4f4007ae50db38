#pragma once

#include <QString>

#include <memory>

#include "data/ConnectionSettings.h"

class ErrorTrap;
class TargetProduct;

namespace ado {
class Connection;
}

// Deletion and renaming of the target's tables, on one connection opened for them. Each step
// reports its failure through the caller's trap under its line.
class TargetTables {
  public:
    explicit TargetTables(ErrorTrap& trap);
    ~TargetTables();

    // True when the connection opened (line 104).
    bool open(const ConnectionSettings& connection);
    // True when the table was dropped (line 112).
    bool drop(const QString& name);
    // True when the table was renamed (line 120).
    bool rename(const QString& oldName, const QString& newName);

  private:
    ErrorTrap& trap_;
    std::unique_ptr<ado::Connection> connection_;
    std::unique_ptr<TargetProduct> product_;
};
