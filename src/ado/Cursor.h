#pragma once

#include <QString>

#include <vector>

#include "paradox/Value.h"

namespace ado {

using Variant = px::Value;

struct FieldInfo {
    QString name;
    int type;  // an ADO DataTypeEnum code
};

// Rows of a result, read forward once.
class Cursor {
  public:
    virtual ~Cursor() = default;
    virtual const std::vector<FieldInfo>& fields() const = 0;
    // The row count when the source knows it before the first row, else -1.
    virtual long long rowCount() const = 0;
    // Fills `row` with the next row; false after the last.
    virtual bool fetch(std::vector<Variant>& row) = 0;
};

}  // namespace ado
