#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

// Real data sources for the tests, behind data source names in the test's own odbc.ini (the
// test main points ODBCINI at a temporary file): SQLite files, a private PostgreSQL 15 cluster on
// a loopback port and a private MariaDB server on a socket, each started once for the test
// program and stopped at its end.
namespace TestDatabases {

// A new, empty SQLite database behind a new data source name.
QString newSqliteDsn();
// A data source name for a fresh database on a private MariaDB server that takes double-quoted
// names, or "" when MariaDB is not installed. `characterSet` is the database's.
// `ansiQuotes`: the data source sets each session to take them itself, as the tests' own
// statements need; without it, only the program's own sessions take them.
QString newMariaDbDsn(const QString& characterSet = QStringLiteral("utf8mb4"),
                      bool ansiQuotes = true);
// A data source name for a fresh PostgreSQL database, or "" when PostgreSQL is not installed.
// `moreKeywords` ("Key = Value" lines) go to the driver as well.
QString newPostgresDsn(const QString& moreKeywords = {});
// Another data source name for the database of the PostgreSQL data source `dsn`, logging in
// as `user`.
QString postgresDsnAs(const QString& dsn, const QString& user);
// Adds a data source with the given name and keywords.
void addDsn(const QString& name, const QString& keywords);
// Removes a data source from the odbc.ini through the ODBC installer, as "odbcinst -u" does;
// the driver manager of this process forgets it at once.
void removeDsn(const QString& name);
// Puts a removed data source back, as it was, through the installer.
void restoreDsn(const QString& name);
// A fresh database on "mariadb" or "postgres", or "" when that server is not installed.
QString newDsnOn(const std::string& product);
// The mariadb client's command for the MariaDB data source `dsn`, local files allowed.
QStringList mariaDbClient(const QString& dsn);
// MariaDB: runs `script` in the mariadb client on the database of `dsn`; "" when it ran
// through, else what the client said.
QString runMariaDbClient(const QString& dsn, const QString& script);
// Runs one statement on a data source.
void execute(const QString& dsn, const QString& sql);
// PostgreSQL: each definition statement whose text holds `containing` takes `seconds` more, by
// an event trigger, so that a test can act while one runs.
void slowDefinitions(const QString& dsn, const QString& containing, int seconds);
// PostgreSQL: runs `statement` (a format() string whose %s is the table) on every table made
// from now on, but the program's own journal, by an event trigger named `name`.
void onEveryNewTable(const QString& dsn, const QString& name, const QString& statement);
// PostgreSQL and MariaDB: whether a session other than the asking one runs (on PostgreSQL: or
// ran last) a statement holding `containing`.
bool runsStatement(const QString& dsn, const QString& containing);
// Waits until runsStatement() is true (true), or a minute passes.
bool waitForStatement(const QString& dsn, const QString& containing);
// Pauses the server that the other sessions of `dsn` talk to, as SIGSTOP does to a server that
// hangs: on PostgreSQL the processes that serve them, on MariaDB the whole server. The processes
// paused, for resumeServer().
std::vector<qint64> pauseServer(const QString& dsn);
void resumeServer(const std::vector<qint64>& paused);
// PostgreSQL: the statements the database of `dsn` is given from now on, by its sessions that
// start after this call, each as the server logs it: statementsLogged() reads them.
qint64 logStatements(const QString& dsn);
QStringList statementsLogged(qint64 since);
// Stops the PostgreSQL cluster, as a server that goes away does.
void stopPostgres();
void startPostgres(bool durable = false);
// The cluster's loopback port, for clients that do not go through ODBC; 0 without PostgreSQL.
int postgresPort();

}  // namespace TestDatabases

namespace ado {
class Connection;
}

// Another session that reads `table` in an open transaction, until it is destroyed: a drop or
// a definition of the table waits for it (PostgreSQL, MariaDB).
class ReadingSession {
  public:
    ReadingSession(const QString& dsn, const QString& table);
    ~ReadingSession();
    // Ends the transaction: what waited on it goes on.
    void release();
    ReadingSession(const ReadingSession&) = delete;
    ReadingSession& operator=(const ReadingSession&) = delete;

  private:
    std::unique_ptr<ado::Connection> session_;
};
