#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "BulkSession.h"
#include "Cursor.h"

struct pg_conn;

namespace ado {

// A session of its own on a PostgreSQL server, opened with libpq from the settings of the data
// source (psqlODBC's keywords), that loads rows with COPY ... FROM STDIN in the text format: one
// statement for a whole table, which commits when it ends or leaves nothing.
class PostgresCopy : public BulkSession {
  public:
    // `settings`: the data source's keywords, in lower case. Throws DataSourceError with libpq's
    // reason when the server cannot be reached or refuses the session.
    explicit PostgresCopy(const std::map<QString, QString>& settings);
    ~PostgresCopy() override;
    PostgresCopy(const PostgresCopy&) = delete;
    PostgresCopy& operator=(const PostgresCopy&) = delete;

    // The first row of `sql`'s result as text, NULL as "".
    std::vector<QString> firstRow(const QString& sql);
    // Runs `sql` with `value` as its parameter $1.
    void execute(const QString& sql, const QString& value);

    // The rows of `select`, read by COPY ... TO STDOUT, each column as `readAs` says and in
    // the form the driver gives it (a float column read as a decimal comes as its double).
    // The session sees only what is committed.
    void readRows(const QString& select, const std::vector<ValueType>& readAs,
                  const std::function<void(const std::vector<Variant>&)>& row);

    QString name() const override { return QStringLiteral("COPY"); }
    std::unique_ptr<InsertStatement> load(const QString& quotedTable,
                                          std::vector<ParameterType> types) override;

  private:
    pg_conn* connection_ = nullptr;
};

// The libpq connection string that psqlODBC's settings stand for.
std::string libpqConnectionString(const std::map<QString, QString>& settings);

// Appends `row` as one line of COPY's text format, each value in the form its parameter type
// sends: a NULL, and an empty text, as \N.
void appendCopyLine(std::string& out, const std::vector<Variant>& row,
                    const std::vector<ParameterType>& types);

// Reads one line of COPY's text format into `row`, each column as `readAs` says; `floating`
// marks the float columns. Throws DataSourceError for a value its type cannot be read from.
void readCopyLine(std::string_view line, const std::vector<ValueType>& readAs,
                  const std::vector<bool>& floating, std::vector<Variant>& row);

}  // namespace ado
