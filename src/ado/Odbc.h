#pragma once

#include <QString>

#include <memory>
#include <string>
#include <string_view>

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
    void execute(std::string_view utf8Sql);
    std::unique_ptr<Cursor> tables();

  private:
    void* environment_ = nullptr;
    void* connection_ = nullptr;
    void executeWide(const char16_t* sql, size_t length);

    void* statement_ = nullptr;  // reused by every execute()
    std::u16string wideBuffer_;  // reused by every execute() of UTF-8 text
};

}  // namespace ado
