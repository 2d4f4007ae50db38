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
