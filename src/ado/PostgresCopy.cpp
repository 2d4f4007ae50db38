#include "PostgresCopy.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <optional>

#include "DataSourceError.h"
#include "LoadText.h"

namespace ado {

namespace {

// What a session that broke off reports, as ODBC would for a lost link.
constexpr const char* kLinkLost = "08006";
// The rows of a load go to the server in pieces of about this many bytes.
constexpr size_t kSendBytes = size_t(1) << 18;
// The type numbers of float4 and float8 (pg_type.oid).
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;

std::string trimmed(const char* message) {
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The server's refusal in one line: what it refused and where (for a load, the line, which is
// the row, and the column).
DataSourceError refusal(const PGresult* result, pg_conn* connection) {
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    if (!primary)
        return DataSourceError(trimmed(PQerrorMessage(connection)), kLinkLost);
    std::string message = primary;
    if (const char* context = PQresultErrorField(result, PG_DIAG_CONTEXT))
        message += " (" + trimmed(context) + ")";
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    return DataSourceError(message, state ? state : "");
}

struct ResultFree {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

void appendPadded(std::string& out, long long value, int width) {
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(static_cast<size_t>(std::max<long>(0, width - (end - digits))), '0');
    out.append(digits, end);
}

// "YYYY-MM-DD"; true for a year before 1, which the server takes with " BC" after the value.
bool appendDay(std::string& out, int32_t dayNumber) {
    const px::CivilDate date = px::civilFromDayNumber(dayNumber);
    const bool beforeChrist = date.year < 1;
    appendPadded(out, beforeChrist ? 1 - date.year : date.year, 4);
    out += '-';
    appendPadded(out, date.month, 2);
    out += '-';
    appendPadded(out, date.day, 2);
    return beforeChrist;
}

void appendTimeOfDay(std::string& out, int milliseconds) {
    appendPadded(out, milliseconds / 3600000, 2);
    out += ':';
    appendPadded(out, milliseconds / 60000 % 60, 2);
    out += ':';
    appendPadded(out, milliseconds / 1000 % 60, 2);
    out += '.';
    appendPadded(out, milliseconds % 1000, 3);
}

void appendValue(std::string& out, const Variant& value, ValueType type) {
    if (value.isNull()) {
        out += "\\N";
        return;
    }
    char digits[32];
    switch (type) {
        case ValueType::Text:
        case ValueType::Decimal:
        case ValueType::Time: {
            // An empty text travels as NULL, as it does through the driver.
            const std::string text = value.toText();
            if (text.empty())
                out += "\\N";
            else
                appendTabSeparatedText(out, text);
            return;
        }
        case ValueType::Integer: {
            const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value.asInteger());
            out.append(digits, end);
            return;
        }
        case ValueType::Double: {
            // The shortest text that reads back as the same double.
            const double real = value.asDouble();
            if (std::isnan(real)) {
                out += "NaN";
            } else if (std::isinf(real)) {
                out += real > 0 ? "Infinity" : "-Infinity";
            } else {
                const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, real);
                out.append(digits, end);
            }
            return;
        }
        case ValueType::Boolean:
            out += value.asBoolean() ? 't' : 'f';
            return;
        case ValueType::Date:
            if (appendDay(out, value.dayNumber()))
                out += " BC";
            return;
        case ValueType::Timestamp: {
            const bool beforeChrist = appendDay(out, value.dayNumber());
            out += ' ';
            appendTimeOfDay(out, value.millisecondsOfDay());
            if (beforeChrist)
                out += " BC";
            return;
        }
        case ValueType::Binary: {
            // bytea's hex form, its backslash escaped for the load's own format.
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\\\x";
            for (const unsigned char byte : value.raw()) {
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            }
            return;
        }
    }
}

// One COPY of a table, started before its first row so that a refusal comes while the rows can
// still go another way: the rows gather in a buffer and go to the server a piece at a time;
// flush() ends the statement, which commits its rows.
class CopyLoad : public InsertStatement {
  public:
    CopyLoad(pg_conn* connection, const QString& quotedTable, std::vector<ParameterType> types)
        : connection_(connection),
          statement_((QStringLiteral("COPY ") + quotedTable + QStringLiteral(" FROM STDIN"))
                         .toUtf8()
                         .toStdString()),
          types_(std::move(types)) {}

    ~CopyLoad() override {
        // A load dropped part-way ends with an error of its own: the server keeps none of it.
        if (started_)
            try {
                end("the load was stopped");
            } catch (const DataSourceError&) {
            }
    }

    void addRow(std::vector<Variant> row) override {
        if (!started_)
            throw DataSourceError("the load has ended");
        row.resize(types_.size());
        appendCopyLine(buffer_, row, types_);
        ++held_;
        if (buffer_.size() >= kSendBytes)
            send();
    }

    void flush() override {
        if (!started_)
            return;
        send();
        end(nullptr);
    }

    long long rowsWritten() const override { return written_; }

    void start() {
        const Result result(PQexec(connection_, statement_.c_str()));
        if (PQresultStatus(result.get()) != PGRES_COPY_IN) {
            const DataSourceError refused = refusal(result.get(), connection_);
            throw BulkLoadRefused(refused.what(), refused.sqlState());
        }
        started_ = true;
    }

  private:
    void send() {
        if (!buffer_.empty() &&
            PQputCopyData(connection_, buffer_.data(), static_cast<int>(buffer_.size())) != 1)
            throw DataSourceError(trimmed(PQerrorMessage(connection_)), kLinkLost);
        buffer_.clear();
        written_ += held_;
        held_ = 0;
    }

    // Ends the statement: with `failure`, it aborts; without, its rows commit or it throws.
    void end(const char* failure) {
        started_ = false;
        buffer_.clear();
        held_ = 0;
        if (PQputCopyEnd(connection_, failure) != 1)
            throw DataSourceError(trimmed(PQerrorMessage(connection_)), kLinkLost);
        std::optional<DataSourceError> refused;
        while (const Result result{PQgetResult(connection_)})
            if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && !refused)
                refused = refusal(result.get(), connection_);
        if (refused && !failure) {
            written_ = 0;
            throw *refused;
        }
    }

    pg_conn* connection_;
    std::string statement_;
    std::vector<ParameterType> types_;
    std::string buffer_;
    long long held_ = 0;  // rows in the buffer
    long long written_ = 0;
    bool started_ = false;
};

// A value of the text format with its escapes undone.
void unescape(std::string_view field, std::string& out) {
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        switch (const char escaped = field[++i]) {
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'v':
                out += '\v';
                break;
            default:
                out += escaped;
        }
    }
}

[[noreturn]] void unreadable(const std::string& text, const char* type) {
    throw DataSourceError("the server gave \"" + text + "\", which is no " + type);
}

// Digits of `text` from `at`, at least one; false, and `at` unmoved, when there are none.
bool number(const std::string& text, size_t& at, int& value) {
    const auto [end, ec] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data() + at)
        return false;
    at = static_cast<size_t>(end - text.data());
    return true;
}

bool expect(const std::string& text, size_t& at, char c) {
    if (at >= text.size() || text[at] != c)
        return false;
    ++at;
    return true;
}

// "YYYY-MM-DD" from `at`: the day number; a " BC" after the whole value counts back from year 1.
bool readDay(const std::string& text, size_t& at, int32_t& day) {
    int year = 0, month = 0, dayOfMonth = 0;
    if (!number(text, at, year) || !expect(text, at, '-') || !number(text, at, month) ||
        !expect(text, at, '-') || !number(text, at, dayOfMonth))
        return false;
    if (text.size() >= 3 && text.compare(text.size() - 3, 3, " BC") == 0)
        year = 1 - year;
    day = px::dayNumberFromCivil(year, month, dayOfMonth);
    return true;
}

// "HH:MM:SS" with any fraction from `at`: milliseconds of the day, the fraction cut to them as
// the driver cuts it.
bool readTimeOfDay(const std::string& text, size_t& at, int& milliseconds) {
    int hours = 0, minutes = 0, seconds = 0;
    if (!number(text, at, hours) || !expect(text, at, ':') || !number(text, at, minutes) ||
        !expect(text, at, ':') || !number(text, at, seconds))
        return false;
    int fraction = 0;
    if (expect(text, at, '.'))
        for (int digit = 0; digit < 3; ++digit, ++at)
            fraction = fraction * 10 +
                       (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))
                            ? text[at] - '0'
                            : 0);
    milliseconds = ((hours * 60 + minutes) * 60 + seconds) * 1000 + fraction;
    return true;
}

Variant valueOf(const std::string& text, ValueType type, bool floating) {
    size_t at = 0;
    switch (type) {
        case ValueType::Integer: {
            long long integer = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), integer);
            if (ec == std::errc() && end == text.data() + text.size())
                return Variant::integer(integer);
            // A number with a fraction, as the driver converts it: cut toward zero.
            double real = 0;
            const auto [last, failed] =
                std::from_chars(text.data(), text.data() + text.size(), real);
            if (failed != std::errc() || last != text.data() + text.size())
                unreadable(text, "integer");
            return Variant::integer(static_cast<long long>(real));
        }
        case ValueType::Decimal:
            if (!floating)
                return Variant::text(text);
            [[fallthrough]];
        case ValueType::Double: {
            double real = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), real);
            if (ec != std::errc() || end != text.data() + text.size())
                unreadable(text, "number");
            return Variant::real(real);
        }
        case ValueType::Boolean:
            if (text != "t" && text != "f")
                unreadable(text, "boolean");
            return Variant::boolean(text == "t");
        case ValueType::Date: {
            int32_t day = 0;
            if (!readDay(text, at, day))
                unreadable(text, "date");
            return Variant::date(day);
        }
        case ValueType::Timestamp: {
            int32_t day = 0;
            int milliseconds = 0;
            if (!readDay(text, at, day) || !expect(text, at, ' ') ||
                !readTimeOfDay(text, at, milliseconds))
                unreadable(text, "timestamp");
            return Variant::timestamp(day, milliseconds);
        }
        case ValueType::Time: {
            int milliseconds = 0;
            return readTimeOfDay(text, at, milliseconds) ? Variant::time(milliseconds)
                                                         : Variant::text(text);
        }
        case ValueType::Binary: {
            // bytea's hex form.
            if (text.size() % 2 != 0 || text.compare(0, 2, "\\x") != 0)
                unreadable(text, "bytea");
            std::string bytes(text.size() / 2 - 1, '\0');
            for (size_t i = 0; i < bytes.size(); ++i) {
                unsigned value = 0;
                const char* digits = text.data() + 2 + 2 * i;
                if (std::from_chars(digits, digits + 2, value, 16).ptr != digits + 2)
                    unreadable(text, "bytea");
                bytes[i] = static_cast<char>(value);
            }
            return Variant::bytes(std::move(bytes));
        }
        case ValueType::Text:
            break;
    }
    return Variant::text(text);
}

void appendSetting(std::string& out, const char* keyword, const QString& value) {
    if (value.isEmpty())
        return;
    out += out.empty() ? "" : " ";
    out += keyword;
    out += "='";
    for (const char c : value.toUtf8()) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '\'';
}

}  // namespace

std::string libpqConnectionString(const std::map<QString, QString>& settings) {
    const auto setting = [&](std::initializer_list<const char*> keywords) {
        for (const char* keyword : keywords)
            if (const auto found = settings.find(QString::fromLatin1(keyword));
                found != settings.end() && !found->second.isEmpty())
                return found->second;
        return QString();
    };
    std::string out;
    appendSetting(out, "host", setting({"servername", "server"}));
    appendSetting(out, "port", setting({"port"}));
    appendSetting(out, "dbname", setting({"database", "db"}));
    appendSetting(out, "user", setting({"username", "uid"}));
    appendSetting(out, "password", setting({"password", "pwd"}));
    // The driver's own default: no encryption unless the data source asks for it.
    const QString ssl = setting({"sslmode"});
    appendSetting(out, "sslmode", ssl.isEmpty() ? QStringLiteral("disable") : ssl);
    appendSetting(out, "connect_timeout", QStringLiteral("10"));
    appendSetting(out, "application_name", QStringLiteral("morvane-transfer"));
    // libpq's own settings, which the driver passes on as they are written.
    if (const QString more = setting({"pqopt"}); !more.isEmpty())
        out += " " + more.toUtf8().toStdString();
    return out;
}

void appendCopyLine(std::string& out, const std::vector<Variant>& row,
                    const std::vector<ParameterType>& types) {
    for (size_t i = 0; i < types.size(); ++i) {
        if (i)
            out += '\t';
        appendValue(out, row[i], types[i].type);
    }
    out += '\n';
}

void readCopyLine(std::string_view line, const std::vector<ValueType>& readAs,
                  const std::vector<bool>& floating, std::vector<Variant>& row) {
    row.resize(readAs.size());
    std::string text;
    size_t column = 0;
    for (size_t start = 0;; ++column) {
        const size_t tab = std::min(line.find('\t', start), line.size());
        if (column == readAs.size())
            throw DataSourceError("the server gave more columns than were asked for");
        const std::string_view field = line.substr(start, tab - start);
        if (field == "\\N") {
            row[column] = Variant();
        } else {
            unescape(field, text);
            row[column] = valueOf(text, readAs[column], floating[column]);
        }
        if (tab == line.size())
            break;
        start = tab + 1;
    }
    if (column + 1 != readAs.size())
        throw DataSourceError("the server gave fewer columns than were asked for");
}

void PostgresCopy::readRows(const QString& select, const std::vector<ValueType>& readAs,
                            const std::function<void(const std::vector<Variant>&)>& row) {
    // The float columns, by the result's description.
    const QByteArray described = ("SELECT * FROM (" + select + ") AS described LIMIT 0").toUtf8();
    std::vector<bool> floating(readAs.size());
    {
        const Result result(PQexec(connection_, described.constData()));
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
            throw refusal(result.get(), connection_);
        for (int column = 0;
             column < PQnfields(result.get()) && static_cast<size_t>(column) < floating.size();
             ++column) {
            const Oid type = PQftype(result.get(), column);
            floating[static_cast<size_t>(column)] = type == kFloat4 || type == kFloat8;
        }
    }
    const QByteArray copy = ("COPY (" + select + ") TO STDOUT").toUtf8();
    {
        const Result result(PQexec(connection_, copy.constData()));
        if (PQresultStatus(result.get()) != PGRES_COPY_OUT)
            throw refusal(result.get(), connection_);
    }
    // A caller that stops part-way ends the statement, so that the session can be used again.
    struct Ending {
        pg_conn* connection;
        bool done = false;
        ~Ending() {
            if (done)
                return;
            if (PGcancel* request = PQgetCancel(connection)) {
                char reason[256];
                PQcancel(request, reason, sizeof reason);
                PQfreeCancel(request);
            }
            char* buffer = nullptr;
            while (PQgetCopyData(connection, &buffer, 0) > 0)
                PQfreemem(buffer);
            while (PGresult* result = PQgetResult(connection))
                PQclear(result);
        }
    } ending{connection_};
    std::vector<Variant> values;
    for (;;) {
        char* buffer = nullptr;
        const int length = PQgetCopyData(connection_, &buffer, 0);
        if (length < 0)
            break;
        const std::unique_ptr<char, void (*)(void*)> line(buffer, PQfreemem);
        // Each piece is one row, with its end of line.
        readCopyLine(std::string_view(buffer, static_cast<size_t>(length))
                         .substr(0, static_cast<size_t>(length) -
                                        (length > 0 && buffer[length - 1] == '\n')),
                     readAs, floating, values);
        row(values);
    }
    ending.done = true;
    std::optional<DataSourceError> refused;
    while (const Result result{PQgetResult(connection_)})
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && !refused)
            refused = refusal(result.get(), connection_);
    if (refused)
        throw *refused;
}

PostgresCopy::PostgresCopy(const std::map<QString, QString>& settings)
    : connection_(PQconnectdb(libpqConnectionString(settings).c_str())) {
    if (PQstatus(connection_) != CONNECTION_OK) {
        const std::string reason = trimmed(PQerrorMessage(connection_));
        PQfinish(connection_);
        throw DataSourceError(reason, "08001");
    }
    // The values travel as UTF-8, dates year first, whatever the server's defaults.
    const Result result(PQexec(connection_,
                               "SET client_encoding TO 'UTF8'; SET DateStyle TO ISO, YMD; "
                               "SET bytea_output TO hex; SET extra_float_digits TO 1"));
    if (PQresultStatus(result.get()) != PGRES_COMMAND_OK) {
        const DataSourceError error = refusal(result.get(), connection_);
        PQfinish(connection_);
        throw error;
    }
}

PostgresCopy::~PostgresCopy() {
    PQfinish(connection_);
}

std::vector<QString> PostgresCopy::firstRow(const QString& sql) {
    const Result result(PQexec(connection_, sql.toUtf8().constData()));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        throw refusal(result.get(), connection_);
    std::vector<QString> row;
    for (int column = 0; PQntuples(result.get()) > 0 && column < PQnfields(result.get()); ++column)
        row.push_back(QString::fromUtf8(PQgetvalue(result.get(), 0, column)));
    return row;
}

void PostgresCopy::execute(const QString& sql, const QString& value) {
    const QByteArray parameter = value.toUtf8();
    const char* values[] = {parameter.constData()};
    const Result result(PQexecParams(connection_, sql.toUtf8().constData(), 1, nullptr, values,
                                     nullptr, nullptr, 0));
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throw refusal(result.get(), connection_);
}

std::unique_ptr<InsertStatement> PostgresCopy::load(const QString& quotedTable,
                                                    std::vector<ParameterType> types) {
    auto copy = std::make_unique<CopyLoad>(connection_, quotedTable, std::move(types));
    copy->start();
    return copy;
}

}  // namespace ado
