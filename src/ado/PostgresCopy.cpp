#include "PostgresCopy.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <initializer_list>
#include <optional>

#include "DataSourceError.h"

namespace ado {

namespace {

// What a session that broke off reports, as ODBC would for a lost link.
constexpr const char* kLinkLost = "08006";
// The rows of a load go to the server in pieces of about this many bytes.
constexpr size_t kSendBytes = size_t(1) << 18;

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

void appendEscaped(std::string& out, const std::string& text) {
    for (const char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
}

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
                appendEscaped(out, text);
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

// One COPY of a table, started with the first row: the rows gather in a buffer and go to the
// server a piece at a time; flush() ends the statement, which commits its rows.
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
            start();
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

  private:
    void start() {
        const Result result(PQexec(connection_, statement_.c_str()));
        if (PQresultStatus(result.get()) != PGRES_COPY_IN)
            throw refusal(result.get(), connection_);
        started_ = true;
    }

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

PostgresCopy::PostgresCopy(const std::map<QString, QString>& settings)
    : connection_(PQconnectdb(libpqConnectionString(settings).c_str())) {
    if (PQstatus(connection_) != CONNECTION_OK) {
        const std::string reason = trimmed(PQerrorMessage(connection_));
        PQfinish(connection_);
        throw DataSourceError(reason, "08001");
    }
    // The values travel as UTF-8, dates year first, whatever the server's defaults.
    const Result result(
        PQexec(connection_, "SET client_encoding TO 'UTF8'; SET DateStyle TO ISO, YMD"));
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
    return std::make_unique<CopyLoad>(connection_, quotedTable, std::move(types));
}

}  // namespace ado
