#pragma once

#include <QString>

#include <memory>

#include "Cursor.h"

namespace ado {

// One connection through the unixODBC driver manager, with the wide-character functions so
// that names and values keep every character.
class OdbcConnection {
public:
    // `connectionString` in ODBC's own form, for example "DSN=Sales".
    explicit OdbcConnection(const QString& connectionString);
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    void execute(const QString& sql);
    std::unique_ptr<Cursor> tables();

private:
    void* environment_ = nullptr;
    void* connection_ = nullptr;
    void* statement_ = nullptr;  // reused by every execute()
};

}  // namespace ado
