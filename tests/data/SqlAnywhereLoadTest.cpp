// SQL Anywhere's LOAD TABLE, which cannot run here: the text of its statement and of its rows,
// and, on a server that stands in for it, the choice of the load and the way back to inserts.
#include <gtest/gtest.h>

#include <QDir>

#include <unistd.h>

#include "ado/Connection.h"
#include "ado/DataSourceError.h"
#include "data/products/SqlAnywhere.h"
#include "support/Databases.h"

using ado::ValueType;
using px::Value;

TEST(LoadTable, EachValueIsWrittenAsLoadTableReadsItAndNothingInATextEndsIt) {
    const SqlAnywhere anywhere(ado::DataSourceInfo{});
    EXPECT_EQ(
        anywhere.loadTableStatement("\"ORDERS__morvane_new\"", R"(/tmp/it's\here.pipe)"),
        R"(LOAD TABLE "ORDERS__morvane_new" USING CLIENT FILE '/tmp/it''s\\here.pipe' )"
        R"(FORMAT TEXT ENCODING 'UTF-8' BYTE ORDER MARK OFF DELIMITED BY ',' ROW DELIMITED BY )"
        R"('\x0A' QUOTES ON )"
        R"(ESCAPES ON HEXADECIMAL ON STRIP OFF DEFAULTS OFF CHECK CONSTRAINTS ON COMPUTES ON )"
        R"(ORDER OFF WITH CONTENT LOGGING)");

    std::string line;
    appendLoadTableLine(
        line,
        {Value::text("a,b 'q' \"d\"\\\t\n\r\x7f é  "), Value::text(""), Value::integer(-42),
         Value::real(0.1), Value::boolean(true), Value::date(738000),
         Value::timestamp(738000, 3723004), Value::bytes(std::string("\0\xff,", 3)),
         Value::decimal("-12.50"), Value::time(45296789), Value()},
        {ValueType::Text, ValueType::Text, ValueType::Integer, ValueType::Double,
         ValueType::Boolean, ValueType::Date, ValueType::Timestamp, ValueType::Binary,
         ValueType::Decimal, ValueType::Time, ValueType::Integer});
    EXPECT_EQ(line, R"('a\x2Cb \x27q\x27 \x22d\x22\x5C\x09\x0A\x0D\x7F é  ',,-42,0.1,1,2021-07-29,)"
                    R"(2021-07-29 01:02:03.004,0x00FF2C,-12.50,12:34:56.789,)"
                    "\n");
}

TEST(LoadTable, ADatabaseThatKeepsClientFilesFromItOrRefusesTheStatementLeavesTheRowsToInserts) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    ado::Connection connection;
    connection.Open("Data Source=" + dsn);
    const SqlAnywhere anywhere(connection.Info());
    QString refused;
    EXPECT_EQ(anywhere.openBulkSession(connection, refused), nullptr);
    EXPECT_TRUE(refused.startsWith("SQL Anywhere's LOAD TABLE cannot be used (") &&
                refused.contains("connection_property"))
        << refused.toStdString();

    // The option as the stand-in's own function gives it.
    const auto option = [&](const char* value) {
        connection.Execute(QStringLiteral("CREATE OR REPLACE FUNCTION connection_property(text) "
                                          "RETURNS text LANGUAGE sql AS $$ SELECT '%1' $$")
                               .arg(value));
        refused.clear();
        return anywhere.openBulkSession(connection, refused);
    };
    EXPECT_EQ(option("Off"), nullptr);
    EXPECT_EQ(refused,
              "SQL Anywhere's LOAD TABLE cannot be used (the database option "
              "allow_read_client_file is Off)");

    const std::unique_ptr<ado::BulkSession> load = option("On");
    ASSERT_NE(load, nullptr);
    EXPECT_TRUE(refused.isEmpty());
    EXPECT_EQ(load->name(), "LOAD TABLE");
    connection.Execute("CREATE TABLE t (id integer)");
    try {
        load->load("\"t\"", {ValueType::Integer});
        ADD_FAILURE() << "the stand-in took LOAD TABLE";
    } catch (const ado::BulkLoadRefused& refusal) {
        EXPECT_TRUE(QString(refusal.what()).contains("syntax error")) << refusal.what();
    }
    // The refused load left no pipe behind.
    const QDir pipes(QDir::tempPath() + "/morvane-loads-" + QString::number(::getuid()));
    EXPECT_TRUE(pipes.entryList({QString::number(::getpid()) + "-*"}, QDir::System).isEmpty());
}
