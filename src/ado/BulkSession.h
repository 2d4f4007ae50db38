#pragma once

#include <QString>

#include <memory>
#include <vector>

#include "Insert.h"

namespace ado {

// A data source's own fast way of filling a table, beside the statements of its connection:
// rows go in the server's load format rather than as inserts. What it loads commits on its own,
// whole or not at all, so the table it fills must already be committed, and a table it filled
// is the caller's to drop after a failure.
class BulkSession {
  public:
    virtual ~BulkSession() = default;
    // The way it loads, as a note names it ("COPY").
    virtual QString name() const = 0;
    // Whether it loads rows of these types; else they go as inserts.
    virtual bool loads(const std::vector<ParameterType>& /*types*/) const { return true; }
    // A load of whole rows into `quotedTable`, one value per entry of `types`, in column order.
    // flush() ends it: the rows commit then, or it throws, naming the row the server refused.
    // Dropped before flush(), it loads nothing.
    virtual std::unique_ptr<InsertStatement> load(const QString& quotedTable,
                                                  std::vector<ParameterType> types) = 0;
};

}  // namespace ado
