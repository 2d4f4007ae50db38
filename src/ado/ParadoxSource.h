#pragma once

#include <QString>

#include <memory>

#include "Cursor.h"

namespace ado {

// The Paradox side of a connection: a folder of tables, read-only.
class ParadoxSource {
  public:
    explicit ParadoxSource(const QString& folder);

    // Opens one of its table files, wherever the listing found it.
    std::unique_ptr<Cursor> openTable(const QString& file) const;
    // Whether tables are opened by the salvage reading, which opens damaged tables too.
    void setSalvaging(bool salvaging) { salvaging_ = salvaging; }

  private:
    bool salvaging_ = false;
};

}  // namespace ado
