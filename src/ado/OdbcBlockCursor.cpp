#include "OdbcBlockCursor.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "DataSourceError.h"
#include "paradox/Value.h"

namespace ado {

namespace {

using namespace odbc;

// Rows in a block: a few hundred make the calls few, within a bound on the arrays' bytes; a
// row too wide for a block of a few dozen is read value by value.
constexpr SQLULEN kMostBlockRows = 512;
constexpr SQLULEN kFewestBlockRows = 32;
constexpr size_t kMostBlockBytes = size_t(8) << 20;
// The longest text bound, in characters; a longer column is read value by value.
constexpr SQLULEN kLongestBoundText = 4000;

// One bound column: `width` bytes per row, and a length or NULL for each.
struct BoundColumn {
    ValueType type = ValueType::Text;
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLLEN width = 0;
    std::vector<char> data;
    std::vector<SQLLEN> lengths;
};

class OdbcBlockCursor : public Cursor {
  public:
    OdbcBlockCursor(SQLHSTMT statement, std::vector<FieldInfo> fields,
                    std::vector<BoundColumn> columns, SQLULEN blockRows,
                    std::shared_ptr<RunningStatement> running)
        : statement_(statement),
          fields_(std::move(fields)),
          columns_(std::move(columns)),
          blockRows_(blockRows),
          running_(std::move(running)) {}
    ~OdbcBlockCursor() override {
        if (statement_ != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, statement_);
    }

    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long long rowCount() const override { return -1; }

    bool fetch(std::vector<Variant>& row) override {
        if (next_ == fetched_) {
            if (ended_)
                return false;
            SQLRETURN code = SQL_SUCCESS;
            {
                const RunningStatement::Scope running(*running_, statement_);
                code = SQLFetch(statement_);
            }
            if (code == SQL_NO_DATA) {
                ended_ = true;
                return false;
            }
            check(code, SQL_HANDLE_STMT, statement_, "fetch a row");
            next_ = 0;
            if (fetched_ == 0)
                return false;
        }
        row.resize(columns_.size());
        for (size_t i = 0; i < columns_.size(); ++i)
            read(columns_[i], next_, row[i]);
        ++next_;
        return true;
    }

    // Binds the columns and asks for blocks; false where the driver takes neither.
    bool bind() {
        if (!succeeded(SQLSetStmtAttr(statement_, SQL_ATTR_ROW_BIND_TYPE,
                                      reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0)) ||
            !succeeded(SQLSetStmtAttr(statement_, SQL_ATTR_ROW_ARRAY_SIZE,
                                      reinterpret_cast<SQLPOINTER>(blockRows_), 0)) ||
            !succeeded(SQLSetStmtAttr(statement_, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0)))
            return false;
        SQLULEN granted = 0;
        if (!succeeded(SQLGetStmtAttr(statement_, SQL_ATTR_ROW_ARRAY_SIZE, &granted, 0, nullptr)) ||
            granted != blockRows_)
            return false;
        for (size_t i = 0; i < columns_.size(); ++i) {
            BoundColumn& column = columns_[i];
            column.data.assign(blockRows_ * static_cast<size_t>(column.width), '\0');
            column.lengths.assign(blockRows_, 0);
            if (!succeeded(SQLBindCol(statement_, static_cast<SQLUSMALLINT>(i + 1), column.cType,
                                      column.data.data(), column.width, column.lengths.data())))
                return false;
        }
        return true;
    }

    // Gives the statement back as it was, for a reading value by value.
    void unbind() {
        SQLFreeStmt(statement_, SQL_UNBIND);
        SQLSetStmtAttr(statement_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
        SQLSetStmtAttr(statement_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
        statement_ = SQL_NULL_HSTMT;
    }

  private:
    template <typename CValue>
    static CValue at(const BoundColumn& column, size_t row) {
        CValue value;
        std::memcpy(&value, column.data.data() + row * static_cast<size_t>(column.width),
                    sizeof value);
        return value;
    }

    void read(const BoundColumn& column, size_t row, Variant& out) const {
        const SQLLEN length = column.lengths[row];
        if (length == SQL_NULL_DATA) {
            out = Variant();
            return;
        }
        switch (column.type) {
            case ValueType::Integer:
                out = Variant::integer(at<SQLBIGINT>(column, row));
                return;
            case ValueType::Double:
                out = Variant::real(at<double>(column, row));
                return;
            case ValueType::Boolean:
                out = Variant::boolean(at<unsigned char>(column, row) != 0);
                return;
            case ValueType::Date: {
                const auto date = at<SQL_DATE_STRUCT>(column, row);
                out = Variant::date(px::dayNumberFromCivil(date.year, date.month, date.day));
                return;
            }
            case ValueType::Timestamp: {
                const auto stamp = at<SQL_TIMESTAMP_STRUCT>(column, row);
                out = Variant::timestamp(
                    px::dayNumberFromCivil(stamp.year, stamp.month, stamp.day),
                    ((stamp.hour * 60 + stamp.minute) * 60 + stamp.second) * 1000 +
                        static_cast<int32_t>(stamp.fraction / 1000000));
                return;
            }
            default: {
                const char* value = column.data.data() + row * static_cast<size_t>(column.width);
                const bool narrow = column.cType == SQL_C_CHAR;
                // A text the driver cut to its buffer is not the stored value.
                if (length < 0 ||
                    length > column.width - static_cast<SQLLEN>(narrow ? 1 : sizeof(char16_t)))
                    throw DataSourceError("a value longer than its column was read back");
                std::string& text = out.resetToText();
                if (narrow) {
                    text.assign(value, static_cast<size_t>(length));
                } else {
                    char16_t pending = 0;
                    appendUtf8(reinterpret_cast<const char16_t*>(value),
                               static_cast<size_t>(length) / sizeof(char16_t), pending, text);
                }
                return;
            }
        }
    }

    SQLHSTMT statement_;
    std::vector<FieldInfo> fields_;
    std::vector<BoundColumn> columns_;
    SQLULEN blockRows_;
    std::shared_ptr<RunningStatement> running_;
    SQLULEN fetched_ = 0;  // rows in the block
    SQLULEN next_ = 0;     // the next row of the block
    bool ended_ = false;
};

// How a column is bound, where it can be.
std::optional<BoundColumn> boundAs(const DescribedColumn& described, ValueType readAs,
                                   bool narrowTextIsUtf8) {
    BoundColumn column;
    column.type = readAs == ValueType::Decimal && described.floating() ? ValueType::Double : readAs;
    switch (column.type) {
        case ValueType::Integer:
            column.cType = SQL_C_SBIGINT;
            column.width = sizeof(SQLBIGINT);
            return column;
        case ValueType::Double:
            column.cType = SQL_C_DOUBLE;
            column.width = sizeof(double);
            return column;
        case ValueType::Boolean:
            column.cType = SQL_C_BIT;
            column.width = sizeof(unsigned char);
            return column;
        case ValueType::Date:
            column.cType = SQL_C_TYPE_DATE;
            column.width = sizeof(SQL_DATE_STRUCT);
            return column;
        case ValueType::Timestamp:
            column.cType = SQL_C_TYPE_TIMESTAMP;
            column.width = sizeof(SQL_TIMESTAMP_STRUCT);
            return column;
        case ValueType::Text:
        case ValueType::Decimal:
            if (described.size == 0 || described.size > kLongestBoundText)
                return std::nullopt;
            // Up to four bytes of UTF-8 for a character, or two units of UTF-16; and the
            // terminator.
            if (narrowTextIsUtf8) {
                column.cType = SQL_C_CHAR;
                column.width = static_cast<SQLLEN>(described.size * 4 + 1);
            } else {
                column.width = static_cast<SQLLEN>((described.size * 2 + 1) * sizeof(char16_t));
            }
            return column;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::unique_ptr<Cursor> blockCursor(SQLHSTMT statement, const std::vector<ValueType>& readAs,
                                    std::shared_ptr<RunningStatement> running,
                                    bool narrowTextIsUtf8) {
    std::vector<FieldInfo> fields;
    std::vector<BoundColumn> columns;
    size_t rowBytes = 0;
    const std::vector<DescribedColumn> described = describeColumns(statement);
    for (size_t i = 0; i < described.size(); ++i) {
        std::optional<BoundColumn> column = boundAs(
            described[i], i < readAs.size() ? readAs[i] : ValueType::Text, narrowTextIsUtf8);
        if (!column)
            return nullptr;
        rowBytes += static_cast<size_t>(column->width) + sizeof(SQLLEN);
        fields.push_back(described[i].field());
        columns.push_back(std::move(*column));
    }
    const SQLULEN blockRows =
        std::min<SQLULEN>(kMostBlockRows, kMostBlockBytes / std::max<size_t>(rowBytes, 1));
    if (blockRows < kFewestBlockRows)
        return nullptr;
    auto cursor = std::make_unique<OdbcBlockCursor>(
        statement, std::move(fields), std::move(columns), blockRows, std::move(running));
    if (cursor->bind())
        return cursor;
    cursor->unbind();
    return nullptr;
}

}  // namespace ado
