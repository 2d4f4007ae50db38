#pragma once

#include <cstdint>
#include <string>

namespace px {

// One field value as a table yields it. Text is UTF-8; a decimal keeps its digits as text so
// that no precision is lost on the way to the target database.
class Value {
  public:
    enum class Kind { Null, Text, Integer, Double, Decimal, Date, Time, Timestamp, Boolean, Bytes };

    Value() = default;

    static Value text(std::string utf8) { return Value(Kind::Text, std::move(utf8)); }
    static Value integer(int64_t v);
    static Value real(double v);
    static Value decimal(std::string digits) { return Value(Kind::Decimal, std::move(digits)); }
    // Days counted from 0001-01-01 as day 1, the Paradox calendar.
    static Value date(int32_t dayNumber);
    static Value time(int32_t millisecondsOfDay);
    static Value timestamp(int32_t dayNumber, int32_t millisecondsOfDay);
    static Value boolean(bool v);
    static Value bytes(std::string raw) { return Value(Kind::Bytes, std::move(raw)); }

    // Makes this value an empty text and returns its storage, keeping the storage's capacity:
    // for readers that fill the same row again and again.
    std::string& resetToText() { return resetTo(Kind::Text); }
    std::string& resetToBytes() { return resetTo(Kind::Bytes); }

    Kind kind() const { return kind_; }
    bool isNull() const { return kind_ == Kind::Null; }

    int64_t asInteger() const { return integer_; }
    double asDouble() const { return real_; }
    bool asBoolean() const { return integer_ != 0; }
    int32_t dayNumber() const { return day_; }
    int32_t millisecondsOfDay() const { return static_cast<int32_t>(integer_); }
    // The UTF-8 text, the decimal's digits, or the raw bytes.
    const std::string& raw() const { return text_; }

    // The text form, independent of any locale: "" for null.
    std::string toText() const;
    void appendText(std::string& out) const;

    // The item of an INSERT ... VALUES(...) list: NULL, or the text form between single quotes.
    void appendSqlItem(std::string& out) const;
    std::string sqlItem() const;

    bool operator==(const Value& other) const = default;

  private:
    Value(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}
    std::string& resetTo(Kind kind) {
        kind_ = kind;
        text_.clear();
        return text_;
    }

    Kind kind_ = Kind::Null;
    int64_t integer_ = 0;
    double real_ = 0;
    int32_t day_ = 0;
    std::string text_;
};

// Calendar helpers for the Paradox day number (0001-01-01 is day 1).
struct CivilDate {
    int year;
    int month;
    int day;
};
CivilDate civilFromDayNumber(int32_t dayNumber);
int32_t dayNumberFromCivil(int year, int month, int day);

}  // namespace px
