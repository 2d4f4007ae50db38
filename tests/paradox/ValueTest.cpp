// The text form of values is what the target database receives: it must never depend on the
// locale and must keep every digit.
#include <gtest/gtest.h>

#include <clocale>
#include <limits>

#include "paradox/Value.h"

using px::Value;

TEST(ValueText, NumbersUseTheShortestPlainDecimal) {
    EXPECT_EQ(Value::real(7320).toText(), "7320");
    EXPECT_EQ(Value::real(19.68503937007874).toText(), "19.68503937007874");
    EXPECT_EQ(Value::real(-0.5).toText(), "-0.5");
    EXPECT_EQ(Value::real(0.0).toText(), "0");
    EXPECT_EQ(Value::real(-0.0).toText(), "0");
    EXPECT_EQ(Value::real(1e20).toText(), "100000000000000000000");
    EXPECT_EQ(Value::real(1e-7).toText(), "0.0000001");
    EXPECT_EQ(Value::real(0.1 + 0.2).toText(), "0.30000000000000004");
}

TEST(ValueText, IntegersKeepTheirExtremes) {
    EXPECT_EQ(Value::integer(0).toText(), "0");
    EXPECT_EQ(Value::integer(-32767).toText(), "-32767");
    EXPECT_EQ(Value::integer(std::numeric_limits<int32_t>::max()).toText(), "2147483647");
    EXPECT_EQ(Value::integer(std::numeric_limits<int32_t>::min() + 1).toText(), "-2147483647");
}

TEST(ValueText, DatesAndTimesAcrossTheCalendar) {
    EXPECT_EQ(Value::date(1).toText(), "0001-01-01");
    EXPECT_EQ(Value::date(36160).toText(), "0100-01-01");
    EXPECT_EQ(Value::date(728783).toText(), "1996-05-04");
    EXPECT_EQ(Value::date(px::dayNumberFromCivil(1899, 12, 31)).toText(), "1899-12-31");
    EXPECT_EQ(Value::date(px::dayNumberFromCivil(2000, 2, 29)).toText(), "2000-02-29");
    EXPECT_EQ(Value::date(px::dayNumberFromCivil(9999, 12, 31)).toText(), "9999-12-31");
    EXPECT_EQ(Value::time(0).toText(), "00:00:00");
    EXPECT_EQ(Value::time(3601000).toText(), "01:00:01");
    EXPECT_EQ(Value::time(86399999).toText(), "23:59:59.999");
    EXPECT_EQ(Value::time(45296007).toText(), "12:34:56.007");
    EXPECT_EQ(Value::timestamp(px::dayNumberFromCivil(2020, 2, 1), 3601000).toText(),
              "2020-02-01 01:00:01");
    EXPECT_EQ(Value::timestamp(px::dayNumberFromCivil(1850, 7, 4), 250).toText(),
              "1850-07-04 00:00:00.250");
}

TEST(ValueText, CalendarRoundTripsEveryDayOfFourCenturies) {
    const int32_t start = px::dayNumberFromCivil(1800, 1, 1);
    for (int32_t day = start; day < start + 146097; ++day) {
        const px::CivilDate d = px::civilFromDayNumber(day);
        ASSERT_EQ(px::dayNumberFromCivil(d.year, d.month, d.day), day);
    }
}

TEST(ValueText, IndependentOfTheUserLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(Value::real(1.5).toText(), "1.5");
    EXPECT_EQ(Value::real(1234567.25).toText(), "1234567.25");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(SqlItem, QuotesTextAndDoublesItsQuotes) {
    EXPECT_EQ(Value::text("can't").sqlItem(), "'can''t'");
    EXPECT_EQ(Value::text("''").sqlItem(), "''''''");
    EXPECT_EQ(Value::text("a;b\n\"c\"").sqlItem(), "'a;b\n\"c\"'");
    EXPECT_EQ(Value::integer(42).sqlItem(), "'42'");
    EXPECT_EQ(Value::boolean(true).sqlItem(), "'True'");
    EXPECT_EQ(Value::boolean(false).sqlItem(), "'False'");
    EXPECT_EQ(Value::bytes(std::string("\x00\xab\x10", 3)).sqlItem(), "'00AB10'");
    EXPECT_EQ(Value::decimal("-1.23").sqlItem(), "'-1.23'");
}

TEST(SqlItem, NullAndEmptyTextBothTravelAsNull) {
    EXPECT_EQ(Value().sqlItem(), "NULL");
    EXPECT_EQ(Value::text("").sqlItem(), "NULL");
    EXPECT_EQ(Value::bytes("").sqlItem(), "NULL");
    std::string list;
    Value().appendSqlItem(list);
    list += ", ";
    Value::text("x").appendSqlItem(list);
    EXPECT_EQ(list, "NULL, 'x'");
}
