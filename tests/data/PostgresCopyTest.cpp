// The text PostgreSQL's COPY is given: each value in the form its column type reads back
// exactly, and the connection libpq makes from a psqlODBC data source's settings.
#include <gtest/gtest.h>

#include "ado/PostgresCopy.h"

using ado::ParameterType;
using ado::ValueType;
using px::Value;

TEST(CopyLine, EachTypeIsWrittenAsTheServerReadsItBackAndNullsAndEscapesAreKept) {
    const std::vector<ParameterType> types = {
        ValueType::Text,   ValueType::Text,    ValueType::Integer, ValueType::Double,
        ValueType::Double, ValueType::Boolean, ValueType::Date,    ValueType::Timestamp,
        ValueType::Binary, ValueType::Decimal, ValueType::Time,    ValueType::Integer};
    std::string line;
    ado::appendCopyLine(
        line,
        {Value::text("tab\there\nline\\back\r"), Value::text(""), Value::integer(-9007199254740993),
         Value::real(0.1), Value::real(-0.0), Value::boolean(false), Value::date(1),
         Value::timestamp(738000, 3723004), Value::bytes(std::string("\0\xff\\", 3)),
         Value::decimal("-12.50"), Value::time(45296789), Value()},
        types);
    EXPECT_EQ(line,
              "tab\\there\\nline\\\\back\\r\t\\N\t-9007199254740993\t0.1\t-0\tf\t0001-01-01\t"
              "2021-07-29 01:02:03.004\t\\\\x00ff5c\t-12.50\t12:34:56.789\t\\N\n");

    // A row shorter than its types is refused by the caller; a day before year 1 is BC.
    line.clear();
    ado::appendCopyLine(line, {Value::date(-365), Value::real(1e300)},
                        {ValueType::Date, ValueType::Double});
    EXPECT_EQ(line, "0001-01-01 BC\t1e+300\n");
}

TEST(CopyLine, TheSessionIsOpenedFromTheDriversOwnKeywords) {
    EXPECT_EQ(ado::libpqConnectionString({{"servername", "db.example"},
                                          {"port", "5433"},
                                          {"database", "sales"},
                                          {"uid", "o'neil"},
                                          {"pwd", R"(a\b)"},
                                          {"pqopt", "sslrootcert=/etc/ca.pem"}}),
              "host='db.example' port='5433' dbname='sales' user='o\\'neil' password='a\\\\b' "
              "sslmode='disable' connect_timeout='10' application_name='morvane-transfer' "
              "sslrootcert=/etc/ca.pem");
    // The driver's own names win over the short ones; an asked-for encryption is kept.
    EXPECT_EQ(ado::libpqConnectionString({{"username", "a"}, {"uid", "b"}, {"sslmode", "require"}}),
              "user='a' sslmode='require' connect_timeout='10' "
              "application_name='morvane-transfer'");
}

TEST(CopyLine, ALineTheServerWritesIsReadBackAsTheDriverReadsIt) {
    const std::vector<ValueType> readAs = {
        ValueType::Text,    ValueType::Integer, ValueType::Double, ValueType::Decimal,
        ValueType::Decimal, ValueType::Boolean, ValueType::Date,   ValueType::Timestamp,
        ValueType::Binary,  ValueType::Time,    ValueType::Integer};
    std::vector<Value> row;
    ado::readCopyLine(
        "a\\tb\\\\c\\n\t-42\t0.1\t12.50\t2.5\tt\t0001-01-01 BC\t"
        "2021-07-29 01:02:03.004567\t\\\\x00ff5c\t12:34:56.789\t\\N",
        readAs, {false, false, false, false, true, false, false, false, false, false, false}, row);
    ASSERT_EQ(row.size(), readAs.size());
    EXPECT_EQ(row[0].toText(), "a\tb\\c\n");
    EXPECT_EQ(row[1].asInteger(), -42);
    EXPECT_EQ(row[2].asDouble(), 0.1);
    EXPECT_EQ(row[3].kind(), Value::Kind::Text);  // a numeric column keeps its digits
    EXPECT_EQ(row[3].toText(), "12.50");
    EXPECT_EQ(row[4].kind(), Value::Kind::Double);  // a float column asked for as a decimal
    EXPECT_TRUE(row[5].asBoolean());
    EXPECT_EQ(row[6].dayNumber(), -365);
    // The fraction is cut to milliseconds, as the driver cuts it.
    EXPECT_EQ(row[7].toText(), Value::timestamp(738000, 3723004).toText());
    EXPECT_EQ(row[8].raw(), std::string("\0\xff\\", 3));
    EXPECT_EQ(row[9].toText(), "12:34:56.789");
    EXPECT_TRUE(row[10].isNull());

    // What is no value of its type, and a line of another width, are refused.
    EXPECT_THROW(ado::readCopyLine("2021-13", {ValueType::Integer}, {false}, row),
                 std::runtime_error);
    EXPECT_THROW(ado::readCopyLine("x", {ValueType::Boolean}, {false}, row), std::runtime_error);
    EXPECT_THROW(ado::readCopyLine("1\t2", {ValueType::Integer}, {false}, row), std::runtime_error);
    EXPECT_THROW(
        ado::readCopyLine("1", {ValueType::Integer, ValueType::Integer}, {false, false}, row),
        std::runtime_error);
}
