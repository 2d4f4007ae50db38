#include "OdbcInsert.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "DataSourceError.h"
#include "OdbcCalls.h"

namespace ado {

namespace {

using namespace odbc;

// The values of one parameter for the parameter sets of one execution, laid out as the driver
// reads a bound column: `sets` elements of `stride` bytes, and a length or NULL for each.
struct ParameterValues {
    std::vector<char> data;
    std::vector<SQLLEN> lengths;
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN columnSize = 0;
    SQLSMALLINT digits = 0;
    SQLLEN stride = 0;
};

std::u16string utf16(const std::string& utf8) {
    return QString::fromStdString(utf8).toStdU16String();
}

// Text of any length: each element as wide as the widest of the sets.
ParameterValues textValues(const std::vector<std::u16string>& texts, SQLSMALLINT sqlType,
                           SQLSMALLINT digits) {
    size_t widest = 1;
    for (const std::u16string& text : texts)
        widest = std::max(widest, text.size());
    ParameterValues values;
    values.stride = static_cast<SQLLEN>((widest + 1) * sizeof(char16_t));
    values.data.assign(texts.size() * static_cast<size_t>(values.stride), '\0');
    values.lengths.resize(texts.size());
    for (size_t set = 0; set < texts.size(); ++set) {
        std::memcpy(values.data.data() + set * static_cast<size_t>(values.stride),
                    texts[set].data(), texts[set].size() * sizeof(char16_t));
        // An empty text travels as NULL, as it always has.
        values.lengths[set] = texts[set].empty()
                                  ? SQL_NULL_DATA
                                  : static_cast<SQLLEN>(texts[set].size() * sizeof(char16_t));
    }
    values.sqlType = sqlType == SQL_WVARCHAR && widest > 4000 ? SQL_WLONGVARCHAR : sqlType;
    values.columnSize = widest;
    values.digits = digits;
    return values;
}

// The most digits after the point among decimals written out in full.
short longestFraction(const std::vector<std::u16string>& decimals) {
    size_t longest = 0;
    for (const std::u16string& decimal : decimals)
        if (const size_t point = decimal.find(u'.'); point != std::u16string::npos)
            longest = std::max(longest, decimal.size() - point - 1);
    return static_cast<short>(std::min<size_t>(longest, 127));
}

// Values of a fixed size: `fill` writes each one's C form.
template <typename CValue, typename Fill>
ParameterValues fixedValues(const std::vector<const Variant*>& cells, SQLSMALLINT cType,
                            SQLSMALLINT sqlType, SQLULEN columnSize, SQLSMALLINT digits,
                            Fill fill) {
    ParameterValues values;
    values.cType = cType;
    values.sqlType = sqlType;
    values.columnSize = columnSize;
    values.digits = digits;
    values.stride = sizeof(CValue);
    values.data.assign(cells.size() * sizeof(CValue), '\0');
    values.lengths.resize(cells.size());
    for (size_t set = 0; set < cells.size(); ++set) {
        if (cells[set]->isNull()) {
            values.lengths[set] = SQL_NULL_DATA;
            continue;
        }
        CValue value{};
        fill(*cells[set], value);
        std::memcpy(values.data.data() + set * sizeof(CValue), &value, sizeof value);
        values.lengths[set] = sizeof(CValue);
    }
    return values;
}

ParameterValues binaryValues(const std::vector<const Variant*>& cells) {
    size_t widest = 1;
    for (const Variant* cell : cells)
        widest = std::max(widest, cell->raw().size());
    ParameterValues values;
    values.cType = SQL_C_BINARY;
    values.sqlType = widest > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
    values.columnSize = widest;
    values.stride = static_cast<SQLLEN>(widest);
    values.data.assign(cells.size() * widest, '\0');
    values.lengths.resize(cells.size());
    for (size_t set = 0; set < cells.size(); ++set) {
        const std::string& bytes = cells[set]->raw();
        std::memcpy(values.data.data() + set * widest, bytes.data(), bytes.size());
        values.lengths[set] =
            cells[set]->isNull() ? SQL_NULL_DATA : static_cast<SQLLEN>(bytes.size());
    }
    return values;
}

void fillDate(const Variant& value, SQL_DATE_STRUCT& out) {
    const px::CivilDate date = px::civilFromDayNumber(value.dayNumber());
    out = {static_cast<SQLSMALLINT>(date.year), static_cast<SQLUSMALLINT>(date.month),
           static_cast<SQLUSMALLINT>(date.day)};
}

void fillTimestamp(const Variant& value, SQL_TIMESTAMP_STRUCT& out) {
    const px::CivilDate date = px::civilFromDayNumber(value.dayNumber());
    const int ms = value.millisecondsOfDay();
    out = {static_cast<SQLSMALLINT>(date.year),           static_cast<SQLUSMALLINT>(date.month),
           static_cast<SQLUSMALLINT>(date.day),           static_cast<SQLUSMALLINT>(ms / 3600000),
           static_cast<SQLUSMALLINT>(ms / 60000 % 60),    static_cast<SQLUSMALLINT>(ms / 1000 % 60),
           static_cast<SQLUINTEGER>(ms % 1000) * 1000000u};
}

ParameterValues valuesOf(ParameterType parameter, const std::vector<const Variant*>& cells) {
    const auto texts = [&] {
        std::vector<std::u16string> made;
        made.reserve(cells.size());
        for (const Variant* cell : cells)
            made.push_back(utf16(cell->toText()));
        return made;
    };
    switch (parameter.type) {
        case ValueType::Text:
            return textValues(texts(), SQL_WVARCHAR, 0);
        case ValueType::Decimal: {
            // The column's scale, or the values' own, with a precision that holds it.
            const std::vector<std::u16string> digits = texts();
            const short scale = parameter.scale == ParameterType::kScaleAsWritten
                                    ? longestFraction(digits)
                                    : parameter.scale;
            ParameterValues values = textValues(digits, SQL_DECIMAL, scale);
            values.columnSize =
                std::max<SQLULEN>(values.columnSize, static_cast<SQLULEN>(scale) + 1);
            return values;
        }
        case ValueType::Time:
            return textValues(texts(), SQL_TYPE_TIME, 3);
        case ValueType::Integer:
            return fixedValues<SQLBIGINT>(
                cells, SQL_C_SBIGINT, SQL_BIGINT, 19, 0,
                [](const Variant& value, SQLBIGINT& out) { out = value.asInteger(); });
        case ValueType::Double:
            return fixedValues<double>(
                cells, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0,
                [](const Variant& value, double& out) { out = value.asDouble(); });
        case ValueType::Boolean:
            return fixedValues<unsigned char>(
                cells, SQL_C_BIT, SQL_BIT, 1, 0,
                [](const Variant& value, unsigned char& out) { out = value.asBoolean() ? 1 : 0; });
        case ValueType::Date:
            return fixedValues<SQL_DATE_STRUCT>(cells, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0,
                                                fillDate);
        case ValueType::Timestamp:
            return fixedValues<SQL_TIMESTAMP_STRUCT>(cells, SQL_C_TYPE_TIMESTAMP,
                                                     SQL_TYPE_TIMESTAMP, 23, 3, fillTimestamp);
        case ValueType::Binary:
            return binaryValues(cells);
    }
    return {};
}

// A statement handle, freed with its owner.
struct StatementFree {
    void operator()(SQLHSTMT statement) const { SQLFreeHandle(SQL_HANDLE_STMT, statement); }
};
using Statement = std::unique_ptr<void, StatementFree>;

class OdbcInsert : public InsertStatement {
  public:
    OdbcInsert(SQLHDBC connection, const QString& prefix, const QString& row,
               std::vector<ParameterType> types, Batching batching,
               std::shared_ptr<RunningStatement> running)
        : connection_(connection), types_(std::move(types)), running_(std::move(running)) {
        if (batching == Batching::Batched) {
            // At most 999 parameters to a statement, the lowest limit among common drivers.
            const size_t groupRows =
                std::clamp<size_t>(999 / std::max<size_t>(types_.size(), 1), 1, kGroupRows);
            QString group = prefix;
            for (size_t i = 0; i < groupRows; ++i)
                group += (i ? QStringLiteral(", ") : QString()) + row;
            try {
                grouped_.reset(prepare(group));
                groupRows_ = groupRows;
            } catch (const DataSourceError&) {
                // A target without inserts of several rows takes them one by one.
            }
        }
        single_.reset(prepare(prefix + row));
        // SQLite's driver gives every set of an array of binary parameters the first set's
        // length (the check of the copied table found it): such rows go in groups alone.
        const bool binary = std::any_of(types_.begin(), types_.end(), [](ParameterType type) {
            return type.type == ValueType::Binary;
        });
        if (batching == Batching::Batched && !binary)
            arraySize_ = parameterArraySize(grouped_ ? grouped_.get() : single_.get());
        if (batching == Batching::RowByRow)
            heldLimit_ = 1;
    }

    void addRow(std::vector<Variant> row) override {
        held_.push_back(std::move(row));
        held_.back().resize(types_.size());
        for (const Variant& value : held_.back())
            heldBytes_ += value.raw().size() + 8;
        if (held_.size() >= heldLimit_ || held_.size() == groupRows_ * arraySize_ ||
            heldBytes_ > kBatchBytes)
            flush();
    }

    void flush() override {
        struct Release {
            OdbcInsert& insert;
            ~Release() {
                insert.held_.clear();
                insert.heldBytes_ = 0;
            }
        } release{*this};
        const size_t groups = groupRows_ > 1 ? held_.size() / groupRows_ : 0;
        if (groups > 0)
            run(grouped_.get(), groupRows_, groups, 0);
        for (size_t first = groups * groupRows_; first < held_.size();) {
            const size_t sets = std::min<size_t>(held_.size() - first, arraySize_);
            run(single_.get(), 1, sets, first);
            first += sets;
        }
    }

    long long rowsWritten() const override { return written_; }

  private:
    static constexpr size_t kGroupRows = 100;
    static constexpr SQLULEN kArraySize = 50;
    static constexpr size_t kBatchBytes = 8 << 20;  // a batch of long memos stays small

    SQLHSTMT prepare(const QString& sql) {
        return newStatement(connection_, "prepare a statement", [&](SQLHSTMT statement) {
            return SQLPrepareW(statement, wide(sql), static_cast<SQLINTEGER>(sql.size()));
        });
    }

    // How many parameter sets the driver takes at once: a driver without parameter arrays
    // refuses the size or keeps its own.
    static SQLULEN parameterArraySize(SQLHSTMT statement) {
        SQLULEN granted = 0;
        const bool taken =
            succeeded(SQLSetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE,
                                     reinterpret_cast<SQLPOINTER>(kArraySize), 0)) &&
            succeeded(SQLGetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE, &granted, 0, nullptr));
        return taken && granted == kArraySize ? kArraySize : 1;
    }

    // Runs `statement` for `sets` parameter sets of `rowsPerSet` rows each, from held row
    // `first` on: parameter (g, c) of set s is column c of row first + s * rowsPerSet + g.
    void run(SQLHSTMT statement, size_t rowsPerSet, size_t sets, size_t first) {
        const size_t columns = types_.size();
        std::vector<ParameterValues> parameters(rowsPerSet * columns);
        std::vector<const Variant*> cells(sets);
        for (size_t parameter = 0; parameter < parameters.size(); ++parameter) {
            const size_t column = parameter % columns;
            for (size_t set = 0; set < sets; ++set)
                cells[set] = &held_[first + set * rowsPerSet + parameter / columns][column];
            ParameterValues& values = parameters[parameter] = valuesOf(types_[column], cells);
            check(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(parameter + 1),
                                   SQL_PARAM_INPUT, values.cType, values.sqlType, values.columnSize,
                                   values.digits, values.data.data(), values.stride,
                                   values.lengths.data()),
                  SQL_HANDLE_STMT, statement, "bind a parameter");
        }
        if (arraySize_ > 1)
            check(SQLSetStmtAttr(statement, SQL_ATTR_PARAMSET_SIZE,
                                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(sets)), 0),
                  SQL_HANDLE_STMT, statement, "set the number of rows");
        SQLRETURN code = SQL_SUCCESS;
        {
            const RunningStatement::Scope running(*running_, statement);
            code = SQLExecute(statement);
        }
        if (!succeeded(code) && code != SQL_NO_DATA)
            failStatement(connection_, statement, "run a statement");
        SQLFreeStmt(statement, SQL_CLOSE);
        written_ += static_cast<long long>(sets * rowsPerSet);
    }

    SQLHDBC connection_;
    std::vector<ParameterType> types_;
    std::shared_ptr<RunningStatement> running_;
    Statement grouped_;
    Statement single_;
    size_t groupRows_ = 1;
    SQLULEN arraySize_ = 1;
    size_t heldLimit_ = SIZE_MAX;
    std::vector<std::vector<Variant>> held_;  // the rows not yet sent
    size_t heldBytes_ = 0;
    long long written_ = 0;
};

}  // namespace

std::unique_ptr<InsertStatement> prepareOdbcInsert(SQLHDBC connection, const QString& prefix,
                                                   const QString& row,
                                                   std::vector<ParameterType> types,
                                                   Batching batching,
                                                   std::shared_ptr<RunningStatement> running) {
    return std::make_unique<OdbcInsert>(connection, prefix, row, std::move(types), batching,
                                        std::move(running));
}

}  // namespace ado
