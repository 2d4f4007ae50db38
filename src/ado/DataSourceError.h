#pragma once

#include <stdexcept>
#include <string>

namespace ado {

// A failure of a data source: the text is the driver manager's or the driver's own diagnostic.
class DataSourceError : public std::runtime_error {
  public:
    explicit DataSourceError(const std::string& message, std::string sqlState = {})
        : std::runtime_error(message), sqlState_(std::move(sqlState)) {}

    const std::string& sqlState() const { return sqlState_; }
    // SQLSTATE class 08: the connection could not be made or was lost. A server that is shutting
    // down (57P01-57P03) ends the session too, before the driver sees the link go.
    bool isConnectionFailure() const {
        return sqlState_.rfind("08", 0) == 0 || sqlState_.rfind("57P0", 0) == 0;
    }

  private:
    std::string sqlState_;
};

// A load the server refused before it read a row: nothing was loaded, and the rows can still
// go another way.
class BulkLoadRefused : public DataSourceError {
  public:
    using DataSourceError::DataSourceError;
};

}  // namespace ado
