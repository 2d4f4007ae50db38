// The data-access layer against real data sources: SQLite and PostgreSQL through unixODBC, and
// folders of Paradox tables through the reader.
#include <gtest/gtest.h>

#include <QDir>

#include <filesystem>

#include "ado/Connection.h"
#include "ado/ConnectionString.h"
#include "ado/DataSourceError.h"
#include "data/ParadoxModule.h"
#include "data/SybaseModule.h"
#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/TempDir.h"

using ado::Connection;
using ado::RecordSet;

namespace {

QString openError(const QString& connectionString) {
    try {
        Connection connection;
        connection.Open(connectionString);
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    }
    return {};
}

QStringList tableNames(Connection& connection) {
    QStringList names;
    auto tables = connection.OpenSchema(Connection::adSchemaTables);
    while (!tables->Eof()) {
        names << QString::fromStdString(tables->Fields("TABLE_TYPE").Value().toText()) + ":" +
                     QString::fromStdString(tables->Fields("table_name").Value().toText());
        tables->MoveNext();
    }
    names.sort();
    return names;
}

}  // namespace

TEST(ConnectionString, KeywordsIgnoreCaseAndBracesHoldSemicolons) {
    ado::ConnectionString parts(
        "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;DefaultDir={/a;b/c}}d};dbq=/x;");
    EXPECT_EQ(parts.value("driver"), "Microsoft Paradox Driver (*.db )");
    EXPECT_EQ(parts.value("DEFAULTDIR"), "/a;b/c}d");
    EXPECT_EQ(parts.value("Dbq"), "/x");
    EXPECT_FALSE(parts.has("Fil"));
    EXPECT_EQ(ado::ConnectionString("Data Source=").value("data source"), "");
    EXPECT_EQ(ado::ConnectionString::quoted("plain name"), "plain name");
    EXPECT_EQ(ado::ConnectionString::quoted("a;b{c}"), "{a;b{c}}}");
}

TEST(ConnectionString, TheTwoStringsOfTheProgram) {
    EXPECT_EQ(Paradox::ParadoxConnectionString("/data/px"),
              "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;"
              "DefaultDir=/data/px;Dbq=/data/px;CollatingSequence=ASCII;");
    EXPECT_EQ(Sybase::DsnConnectionString("Sales"), "Data Source=Sales");
    EXPECT_EQ(Sybase::DsnConnectionString(""), "Data Source=");
    EXPECT_EQ(Sybase::DsnConnectionString("odd;name"), "Data Source={odd;name}");
    const QString folder = "/odd;folder";
    ado::ConnectionString parts(Paradox::ParadoxConnectionString(folder));
    EXPECT_EQ(parts.value("DefaultDir"), folder);
}

TEST(OdbcConnection, MissingAndEmptyDataSourceNamesGiveTheDriverManagersText) {
    EXPECT_EQ(openError("Data Source=NoSuchDsnAnywhere"),
              "[unixODBC][Driver Manager]Data source name not found and no default driver "
              "specified");
    EXPECT_FALSE(openError("Data Source=").isEmpty());
    EXPECT_FALSE(Sybase::TestDataSource(""));
    EXPECT_FALSE(Sybase::TestDataSource("NoSuchDsnAnywhere"));
}

TEST(OdbcConnection, SqliteExecutesStatementsAndListsItsTables) {
    const QString dsn = TestDatabases::newSqliteDsn();
    EXPECT_TRUE(Sybase::TestDataSource(dsn));
    Connection connection;
    connection.Open("Data Source=" + dsn);
    connection.Execute(R"(CREATE TABLE "Orders"("ID" NUMERIC,"Name ü" TEXT);)");
    connection.Execute(R"(INSERT INTO "Orders" VALUES('1', 'Zoë ''quoted''; ✓'))");
    connection.Execute(R"(CREATE VIEW "OrderView" AS SELECT * FROM "Orders")");
    EXPECT_EQ(tableNames(connection), (QStringList{"TABLE:Orders", "VIEW:OrderView"}));
    try {
        connection.Execute("CREATE TABLE \"Orders\"(\"x\" TEXT);");
        FAIL() << "a second table of the same name was created";
    } catch (const ado::DataSourceError& failure) {
        EXPECT_TRUE(QString::fromUtf8(failure.what()).contains("already exists")) << failure.what();
    }
    connection.Close();
    EXPECT_FALSE(connection.isOpen());
    EXPECT_THROW(connection.Execute("SELECT 1"), ado::DataSourceError);
}

TEST(OdbcConnection, PostgresExecutesStatementsAndListsItsTables) {
    const QString dsn = TestDatabases::newPostgresDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    EXPECT_TRUE(Sybase::TestDataSource(dsn));
    Connection connection;
    connection.Open("Data Source=" + dsn);
    connection.Execute(R"(CREATE TABLE "MixedCase"("ID" NUMERIC,"Text" TEXT);)");
    connection.Execute(R"(INSERT INTO "MixedCase" VALUES('1.5', 'Ελληνικά'))");
    EXPECT_TRUE(tableNames(connection).contains("TABLE:MixedCase"));
    try {
        connection.Execute(R"(INSERT INTO "MixedCase" VALUES('not a number', 'x'))");
        FAIL() << "a text went into a NUMERIC column";
    } catch (const ado::DataSourceError& failure) {
        EXPECT_FALSE(failure.isConnectionFailure());
        EXPECT_FALSE(failure.sqlState().empty());
    }
}

// A table read back whole comes a block of rows at a time where its columns can be bound, and
// value by value where one cannot (bytes): the same values either way, across blocks, NULLs
// and characters outside the first plane included, text read as UTF-8 or as UTF-16.
TEST(OdbcConnection, ATableReadInBlocksGivesWhatAReadingValueByValueGives) {
    const QString dsn = TestDatabases::newMariaDbDsn();
    if (dsn.isEmpty())
        GTEST_SKIP() << "MariaDB is not installed";
    Connection connection;
    connection.Open("Data Source=" + dsn);
    connection.Execute(
        "CREATE TABLE t (i BIGINT, d DOUBLE, b BOOLEAN, day DATE, at DATETIME(3), "
        "n DECIMAL(12, 3), s VARCHAR(3), bytes BLOB)");
    connection.Execute(
        "INSERT INTO t SELECT IF(n % 7 = 0, NULL, n * 1000003), n / 3, n % 2, DATE '2001-02-03' + "
        "INTERVAL n DAY, TIMESTAMP '1999-12-31 23:59:59.123' + INTERVAL n SECOND, n / 7, "
        "IF(n % 5 = 0, NULL, ELT(n % 4 + 1, '', 'a', '\xF0\x9F\x98\x80\xF0\x9F\x98\x80"
        "\xF0\x9F\x98\x80', 'é\tz')), UNHEX(HEX(n)) FROM (SELECT seq AS n FROM seq_0_to_1100) k");
    using ado::ValueType;
    const std::vector<ValueType> types = {
        ValueType::Integer,   ValueType::Double,  ValueType::Boolean, ValueType::Date,
        ValueType::Timestamp, ValueType::Decimal, ValueType::Text};
    enum Reading { ValueByValue, InBlocks, InBlocksAsUtf8 };
    const auto rows = [&](const QString& columns, std::vector<ValueType> readAs, Reading reading) {
        const QString sql = "SELECT " + columns + " FROM t ORDER BY at";
        auto read = reading == ValueByValue
                        ? connection.Query(sql, readAs)
                        : connection.QueryEveryRow(sql, readAs, reading == InBlocksAsUtf8);
        std::vector<std::string> texts;
        for (; !read->Eof(); read->MoveNext()) {
            std::string row;
            for (const ado::Variant& value : read->CurrentRow())
                row += (value.isNull() ? "NULL" : value.toText()) + "|";
            texts.push_back(row);
        }
        return texts;
    };
    const std::vector<std::string> valueByValue =
        rows("i, d, b, day, at, n, s", types, ValueByValue);
    ASSERT_EQ(valueByValue.size(), 1101u);
    EXPECT_EQ(rows("i, d, b, day, at, n, s", types, InBlocks), valueByValue);
    // The session's results are in utf8mb4, as the driver sets them.
    EXPECT_EQ(rows("i, d, b, day, at, n, s", types, InBlocksAsUtf8), valueByValue);
    EXPECT_EQ(valueByValue[2],
              "2000006|0.666666666|False|2001-02-05|2000-01-01 00:00:01.123|"
              "0.286|😀😀😀|");
    std::vector<ValueType> withBytes = types;
    withBytes.push_back(ValueType::Binary);
    EXPECT_EQ(rows("i, d, b, day, at, n, s, bytes", withBytes, InBlocksAsUtf8),
              rows("i, d, b, day, at, n, s, bytes", withBytes, ValueByValue));
}

// A table is opened from the file its listing found, in a subfolder as well, whatever the
// letter case of its name.
TEST(ParadoxConnection, OpensATableFromItsOwnFile) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("sub"));
    pxfixture::writeTable(dir.file("sub/Orders.dbase.DB"),
                          {12, 1, 1252, {{"ID", px::FieldType::Long, 4, 0}}},
                          {{px::Value::integer(7)}, {px::Value::integer(8)}, {px::Value()}});
    Connection connection;
    connection.Open(Paradox::ParadoxConnectionString(QString::fromStdString(dir.path())));
    RecordSet rows;
    rows.OpenTable(QString::fromStdString(dir.file("sub/Orders.dbase.DB")), connection);
    EXPECT_EQ(rows.RecordCount(), 3);
    ASSERT_EQ(rows.FieldCount(), 1);
    EXPECT_EQ(rows.Fields(0).name(), "ID");
    EXPECT_EQ(rows.Fields(0).Type(), 3);
    QStringList values;
    while (!rows.Eof()) {
        values << QString::fromStdString(rows.Fields(0).Value().sqlItem());
        rows.MoveNext();
    }
    EXPECT_EQ(values, (QStringList{"'7'", "'8'", "NULL"}));
    EXPECT_THROW(rows.MoveNext(), ado::DataSourceError);
}

TEST(ParadoxConnection, OnlyReadsAndNamesWhatIsWrong) {
    TempDir dir;
    Connection connection;
    connection.Open(Paradox::ParadoxConnectionString(QString::fromStdString(dir.path())));
    EXPECT_THROW(connection.Execute("DROP TABLE \"X\""), ado::DataSourceError);
    EXPECT_THROW(connection.OpenSchema(20), ado::DataSourceError);
    RecordSet rows;
    try {
        rows.OpenTable(QString::fromStdString(dir.file("missing.db")), connection);
        FAIL();
    } catch (const std::exception& failure) {
        EXPECT_TRUE(QString::fromUtf8(failure.what()).contains(dir.file("missing.db").c_str()));
        EXPECT_TRUE(QString::fromUtf8(failure.what()).contains("cannot be opened"));
    }
    Connection target;
    EXPECT_THROW(rows.OpenTable(QString::fromStdString(dir.file("x.db")), target),
                 ado::DataSourceError);
    EXPECT_EQ(openError(Paradox::ParadoxConnectionString("/no/such/folder")),
              "The Paradox folder '/no/such/folder' does not exist or is not a folder.");
}
