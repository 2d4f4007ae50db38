#pragma once

#include <memory>
#include <vector>

#include "Cursor.h"
#include "OdbcCalls.h"

namespace ado {

// The rows of a result fetched a block at a time into arrays bound to its columns, for reading
// a whole table back: the driver answers one call per block rather than one per value. None
// where a column cannot be bound (bytes, times, text without a length the driver states) or
// the driver keeps to one row per fetch: the caller then reads value by value. It owns
// `statement` once made. `narrowTextIsUtf8`: text is read in the driver's narrow characters,
// which the session gives as UTF-8.
std::unique_ptr<Cursor> blockCursor(SQLHSTMT statement, const std::vector<ValueType>& readAs,
                                    std::shared_ptr<odbc::RunningStatement> running,
                                    bool narrowTextIsUtf8);

}  // namespace ado
