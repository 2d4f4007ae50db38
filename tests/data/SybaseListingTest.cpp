// The listing of the target database's tables, against SQLite and PostgreSQL.
#include <gtest/gtest.h>

#include "ado/Connection.h"
#include "data/SybaseModule.h"
#include "support/Databases.h"
#include "ui/TableList.h"

namespace {

QStringList entries(const TableList& list) {
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names << list.entryText(i);
    return names;
}

void createTables(const QString& dsn) {
    ado::Connection connection;
    connection.Open("Data Source=" + dsn);
    for (const char* sql :
         {R"(CREATE TABLE "orders"("a" TEXT);)", R"(CREATE TABLE "Customers"("a" TEXT);)",
          R"(CREATE TABLE "log_sys"("a" TEXT);)", R"(CREATE TABLE "MySystem"("a" TEXT);)",
          R"(CREATE TABLE "Zebra ""quoted"""("a" TEXT);)",
          R"(CREATE VIEW "AllOrders" AS SELECT * FROM "orders")"})
        connection.Execute(sql);
}

}  // namespace

class SybaseListing : public ::testing::TestWithParam<const char*> {
  protected:
    QString dsn() const {
        return GetParam() == std::string("sqlite") ? TestDatabases::newSqliteDsn()
                                                   : TestDatabases::newPostgresDsn();
    }
};

TEST_P(SybaseListing, UserTablesInStoredCaseWithoutViewsOrSysNames) {
    const QString name = dsn();
    if (name.isEmpty())
        GTEST_SKIP() << "PostgreSQL is not installed";
    TableList list("List1", nullptr);
    Sybase::ListSybaseTables(list, name);
    EXPECT_TRUE(entries(list).isEmpty());
    createTables(name);
    list.addEntry("stale entry");
    Sybase::ListSybaseTables(list, name);
    EXPECT_EQ(entries(list), (QStringList{"Customers", "orders", "Zebra \"quoted\""}));
}

INSTANTIATE_TEST_SUITE_P(Databases, SybaseListing, ::testing::Values("sqlite", "postgres"));

TEST(SybaseListingFailure, AListThatCannotBeFetchedKeepsItsEntries) {
    TableList list("List1", nullptr);
    list.addEntry("kept");
    EXPECT_THROW(Sybase::ListSybaseTables(list, "NoSuchDsnAnywhere"), std::exception);
    EXPECT_EQ(entries(list), QStringList{"kept"});
}
