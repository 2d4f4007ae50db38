#pragma once

#include <QString>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "ado/BulkSession.h"
#include "ado/Connection.h"

// A product's load that the server reads from a pipe of the client's while its statement runs
// on the data source's own connection (MariaDB's LOAD DATA LOCAL INFILE, SQL Anywhere's LOAD
// TABLE): `spec` gives, for a table and its column types, the statement, the line of a row and
// the query of warnings; tables with bytes take the inserts where the load reads only text.
class PipeLoad : public ado::BulkSession {
  public:
    using Spec = std::function<ado::LocalFileLoadSpec(const QString& quotedTable,
                                                      const std::vector<ado::ParameterType>&)>;
    PipeLoad(ado::Connection& connection, QString name, bool takesBytes, Spec spec)
        : connection_(connection),
          name_(std::move(name)),
          takesBytes_(takesBytes),
          spec_(std::move(spec)) {}

    QString name() const override { return name_; }
    bool loads(const std::vector<ado::ParameterType>& types) const override {
        return takesBytes_ || std::none_of(types.begin(), types.end(), [](ado::ParameterType type) {
                   return type.type == ado::ValueType::Binary;
               });
    }
    std::unique_ptr<ado::InsertStatement> load(const QString& quotedTable,
                                               std::vector<ado::ParameterType> types) override {
        return connection_.PrepareLocalFileLoad(spec_(quotedTable, types));
    }

  private:
    ado::Connection& connection_;
    QString name_;
    bool takesBytes_;
    Spec spec_;
};
