#include "Value.h"

#include <charconv>
#include <cmath>

namespace px {

Value Value::integer(int64_t v) {
    Value value(Kind::Integer, {});
    value.integer_ = v;
    return value;
}

Value Value::real(double v) {
    Value value(Kind::Double, {});
    value.real_ = v;
    return value;
}

Value Value::date(int32_t dayNumber) {
    Value value(Kind::Date, {});
    value.day_ = dayNumber;
    return value;
}

Value Value::time(int32_t millisecondsOfDay) {
    Value value(Kind::Time, {});
    value.integer_ = millisecondsOfDay;
    return value;
}

Value Value::timestamp(int32_t dayNumber, int32_t millisecondsOfDay) {
    Value value(Kind::Timestamp, {});
    value.day_ = dayNumber;
    value.integer_ = millisecondsOfDay;
    return value;
}

Value Value::boolean(bool v) {
    Value value(Kind::Boolean, {});
    value.integer_ = v ? 1 : 0;
    return value;
}

// Howard Hinnant's days-from-civil algorithm, shifted so that 0001-01-01 is day 1.
int32_t dayNumberFromCivil(int year, int month, int day) {
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int mp = (month + 9) % 12;
    const int doy = (153 * mp + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const int64_t daysFrom1970 = int64_t(era) * 146097 + doe - 719468;
    return static_cast<int32_t>(daysFrom1970 + 719163);
}

CivilDate civilFromDayNumber(int32_t dayNumber) {
    const int64_t z = int64_t(dayNumber) - 719163 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

namespace {

void appendPadded(std::string& out, int64_t number, int width) {
    if (number < 0) {
        out += '-';
        number = -number;
    }
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, number);
    for (int pad = width - static_cast<int>(end - digits); pad > 0; --pad)
        out += '0';
    out.append(digits, end);
}

void appendDate(std::string& out, int32_t dayNumber) {
    const CivilDate d = civilFromDayNumber(dayNumber);
    appendPadded(out, d.year, 4);
    out += '-';
    appendPadded(out, d.month, 2);
    out += '-';
    appendPadded(out, d.day, 2);
}

void appendTime(std::string& out, int64_t ms) {
    appendPadded(out, ms / 3600000, 2);
    out += ':';
    appendPadded(out, ms / 60000 % 60, 2);
    out += ':';
    appendPadded(out, ms / 1000 % 60, 2);
    if (ms % 1000 != 0) {
        out += '.';
        appendPadded(out, ms % 1000, 3);
    }
}

void appendDouble(std::string& out, double v) {
    if (v == 0) {  // also -0
        out += '0';
        return;
    }
    if (!std::isfinite(v)) {
        out += std::isnan(v) ? "NaN" : (v > 0 ? "Infinity" : "-Infinity");
        return;
    }
    char buffer[400];  // the longest fixed form of a double is about 330 characters
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed);
    out.append(buffer, end);
}

void appendHex(std::string& out, const std::string& raw) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.reserve(out.size() + raw.size() * 2);
    for (unsigned char byte : raw) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
}

}  // namespace

void Value::appendText(std::string& out) const {
    switch (kind_) {
        case Kind::Null:
            break;
        case Kind::Text:
        case Kind::Decimal:
            out += text_;
            break;
        case Kind::Integer: {
            char digits[24];
            auto [end, ec] = std::to_chars(digits, digits + sizeof digits, integer_);
            out.append(digits, end);
            break;
        }
        case Kind::Double:
            appendDouble(out, real_);
            break;
        case Kind::Date:
            appendDate(out, day_);
            break;
        case Kind::Time:
            appendTime(out, integer_);
            break;
        case Kind::Timestamp:
            appendDate(out, day_);
            out += ' ';
            appendTime(out, integer_);
            break;
        case Kind::Boolean:
            out += integer_ ? "True" : "False";
            break;
        case Kind::Bytes:
            appendHex(out, text_);
            break;
    }
}

std::string Value::toText() const {
    std::string out;
    appendText(out);
    return out;
}

void Value::appendSqlItem(std::string& out) const {
    const size_t start = out.size();
    out += '\'';
    const size_t textStart = out.size();
    if (kind_ == Kind::Text) {
        // Only text can hold a quote; double each one as it is copied.
        for (char c : text_) {
            out += c;
            if (c == '\'')
                out += '\'';
        }
    } else {
        appendText(out);
    }
    if (out.size() == textStart) {
        out.resize(start);
        out += "NULL";
        return;
    }
    out += '\'';
}

std::string Value::sqlItem() const {
    std::string out;
    appendSqlItem(out);
    return out;
}

}  // namespace px
