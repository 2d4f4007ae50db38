#include "Databases.h"

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>

#include <odbcinst.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "TempDir.h"
#include "ado/Connection.h"

namespace TestDatabases {

namespace {

const QString kPostgresBin = QStringLiteral("/usr/lib/postgresql/15/bin");

QString odbcIni() {
    return qEnvironmentVariable("ODBCINI");
}

QString driverPath(const QString& library) {
    for (const QString& folder :
         {QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc"),
          QStringLiteral("/usr/lib/aarch64-linux-gnu/odbc"), QStringLiteral("/usr/lib/odbc")})
        if (QFile::exists(folder + QLatin1Char('/') + library))
            return folder + QLatin1Char('/') + library;
    return {};
}

int freeLoopbackPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

void run(const QStringList& command, bool asPostgres) {
    QStringList arguments = command;
    QString program = arguments.takeFirst();
    if (asPostgres) {
        arguments.prepend(program);
        arguments =
            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")} +
            arguments;
        program = QStringLiteral("runuser");
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        throw std::runtime_error("'" + command.join(' ').toStdString() +
                                 "' failed: " + process.readAll().toStdString());
}

// The cluster lives as long as the test program.
class Postgres {
  public:
    static Postgres* instance() {
        static std::unique_ptr<Postgres> cluster = [] {
            std::unique_ptr<Postgres> made;
            if (QFile::exists(kPostgresBin + QStringLiteral("/initdb")) &&
                !driverPath(QStringLiteral("psqlodbcw.so")).isEmpty())
                made.reset(new Postgres);
            return made;
        }();
        return cluster.get();
    }

    ~Postgres() {
        try {
            stop();
        } catch (...) {
        }
    }

    QString newDatabase() {
        const QString name = QStringLiteral("morvane_%1").arg(++databases_);
        run({kPostgresBin + QStringLiteral("/createdb"), QStringLiteral("-h"), socketDir(),
             QStringLiteral("-p"), QString::number(port_), QStringLiteral("-U"),
             QStringLiteral("postgres"), name},
            asPostgres_);
        return name;
    }

    int port() const { return port_; }
    QString log() const { return dataDir() + QStringLiteral("/server.log"); }

    // Tests run without fsync; `durable` keeps PostgreSQL's own defaults (fsync and synchronous
    // commit on), as a benchmark of commits needs.
    void start(bool durable = false) {
        run({kPostgresBin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), dataDir(),
             QStringLiteral("-l"), dataDir() + QStringLiteral("/server.log"), QStringLiteral("-w"),
             QStringLiteral("-o"),
             QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1%3")
                 .arg(port_)
                 .arg(socketDir(), durable ? QString() : QStringLiteral(" -c fsync=off")),
             QStringLiteral("start")},
            asPostgres_);
    }

    void stop() {
        run({kPostgresBin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), dataDir(),
             QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
             QStringLiteral("stop")},
            asPostgres_);
    }

  private:
    Postgres() : asPostgres_(::geteuid() == 0), port_(freeLoopbackPort()) {
        if (asPostgres_)
            run({QStringLiteral("chown"), QStringLiteral("postgres"),
                 QString::fromStdString(folder_.path())},
                false);
        run({kPostgresBin + QStringLiteral("/initdb"), QStringLiteral("-D"), dataDir(),
             QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("--auth=trust"),
             QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-sync")},
            asPostgres_);
        start();
    }

    QString dataDir() const { return QString::fromStdString(folder_.file("data")); }
    QString socketDir() const { return QString::fromStdString(folder_.path()); }

    TempDir folder_;
    bool asPostgres_;
    int port_;
    int databases_ = 0;
};

// A private MariaDB server on a socket of its own, for as long as the test program runs: no
// binary log, no durable commits, utf8mb4 with a binary collation unless a database says else.
class MariaDb {
  public:
    static MariaDb* instance() {
        static std::unique_ptr<MariaDb> server = [] {
            std::unique_ptr<MariaDb> made;
            if (!QStandardPaths::findExecutable(QStringLiteral("mariadbd"),
                                                {QStringLiteral("/usr/sbin")})
                     .isEmpty() &&
                !driverPath(QStringLiteral("libmaodbc.so")).isEmpty())
                made.reset(new MariaDb);
            return made;
        }();
        return server.get();
    }

    ~MariaDb() {
        server_.terminate();
        server_.waitForFinished(30000);
    }

    QString newDatabase(const QString& characterSet) {
        const QString name = QStringLiteral("morvane_%1").arg(++databases_);
        run({QStringLiteral("mariadb"), QStringLiteral("--no-defaults"), QStringLiteral("-S"),
             socket(), QStringLiteral("-uroot"), QStringLiteral("-e"),
             QStringLiteral("CREATE DATABASE ") + name + QStringLiteral(" CHARACTER SET ") +
                 characterSet},
            false);
        return name;
    }

    QString socket() const { return QString::fromStdString(folder_.file("socket")); }
    qint64 pid() const { return server_.processId(); }

  private:
    MariaDb() {
        const QString data = QString::fromStdString(folder_.file("data"));
        const QStringList user =
            ::geteuid() == 0 ? QStringList{QStringLiteral("--user=root")} : QStringList{};
        run(QStringList{QStringLiteral("mariadb-install-db"), QStringLiteral("--no-defaults"),
                        QStringLiteral("--datadir=") + data,
                        QStringLiteral("--auth-root-authentication-method=normal"),
                        QStringLiteral("--skip-test-db")} +
                user,
            false);
        server_.setProcessChannelMode(QProcess::MergedChannels);
        server_.setStandardOutputFile(QString::fromStdString(folder_.file("server.log")));
        server_.start(
            QStringLiteral("/usr/sbin/mariadbd"),
            QStringList{QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                        QStringLiteral("--socket=") + socket(), QStringLiteral("--skip-networking"),
                        QStringLiteral("--skip-log-bin"),
                        QStringLiteral("--innodb-flush-log-at-trx-commit=0"),
                        QStringLiteral("--innodb-buffer-pool-size=256M"),
                        QStringLiteral("--character-set-server=utf8mb4"),
                        QStringLiteral("--collation-server=utf8mb4_bin"),
                        QStringLiteral("--pid-file=") +
                            QString::fromStdString(folder_.file("server.pid"))} +
                user);
        // Ready once a client gets in.
        for (int attempt = 0; attempt < 300; ++attempt) {
            QProcess ping;
            ping.start(QStringLiteral("mariadb-admin"),
                       {QStringLiteral("--no-defaults"), QStringLiteral("-S"), socket(),
                        QStringLiteral("-uroot"), QStringLiteral("ping")});
            if (ping.waitForFinished(5000) && ping.exitCode() == 0)
                return;
            QThread::msleep(100);
        }
        throw std::runtime_error("the private MariaDB server did not start");
    }

    TempDir folder_;
    QProcess server_;
    int databases_ = 0;
};

int dsnCounter = 0;

// The keywords of every data source added, by name.
std::map<QString, QString>& keywordsOf() {
    static std::map<QString, QString> keywords;
    return keywords;
}

void writeProfileString(const QString& section, const QString& key, const QString& value) {
    const QByteArray sectionBytes = section.toUtf8(), keyBytes = key.toUtf8(),
                     valueBytes = value.toUtf8();
    // A section written as nothing is removed.
    if (!SQLWritePrivateProfileString(
            sectionBytes.constData(), key.isNull() ? nullptr : keyBytes.constData(),
            value.isNull() ? nullptr : valueBytes.constData(), "odbc.ini"))
        throw std::runtime_error("cannot write the data source " + section.toStdString());
}

}  // namespace

void addDsn(const QString& name, const QString& keywords) {
    QFile file(odbcIni());
    if (!file.open(QIODevice::Append | QIODevice::Text))
        throw std::runtime_error("cannot write the test odbc.ini");
    QTextStream out(&file);
    out << "\n[" << name << "]\n" << keywords << "\n";
    keywordsOf()[name] = keywords;
}

void removeDsn(const QString& name) {
    writeProfileString(name, {}, {});
}

void restoreDsn(const QString& name) {
    for (const QString& line : keywordsOf().at(name).split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        writeProfileString(name, line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
}

QString newSqliteDsn() {
    static TempDir folder;
    const QString name = QStringLiteral("MorvaneSqlite%1").arg(++dsnCounter);
    addDsn(name,
           QStringLiteral("Driver = %1\nDatabase = %2\nJournalMode = WAL\nSyncPragma = NORMAL")
               .arg(driverPath(QStringLiteral("libsqlite3odbc.so")),
                    QString::fromStdString(folder.file(name.toStdString() + ".sqlite"))));
    return name;
}

QString newPostgresDsn(const QString& moreKeywords) {
    Postgres* cluster = Postgres::instance();
    if (!cluster)
        return {};
    const QString database = cluster->newDatabase();
    const QString name = QStringLiteral("MorvanePostgres%1").arg(++dsnCounter);
    addDsn(name, QStringLiteral("Driver = %1\nServername = 127.0.0.1\nPort = %2\nDatabase = %3\n"
                                "Username = postgres\nUseDeclareFetch = 0")
                         .arg(driverPath(QStringLiteral("psqlodbcw.so")))
                         .arg(cluster->port())
                         .arg(database) +
                     (moreKeywords.isEmpty() ? QString() : QLatin1Char('\n') + moreKeywords));
    return name;
}

QString postgresDsnAs(const QString& dsn, const QString& user) {
    const QString name = QStringLiteral("MorvanePostgres%1").arg(++dsnCounter);
    addDsn(name, QString(keywordsOf().at(dsn))
                     .replace(QStringLiteral("Username = postgres"),
                              QStringLiteral("Username = ") + user));
    return name;
}

QString newMariaDbDsn(const QString& characterSet, bool ansiQuotes) {
    MariaDb* server = MariaDb::instance();
    if (!server)
        return {};
    const QString database = server->newDatabase(characterSet);
    const QString name = QStringLiteral("MorvaneMariaDb%1").arg(++dsnCounter);
    addDsn(name,
           QStringLiteral("Driver = %1\nSOCKET = %2\nDATABASE = %3\nUSER = root")
                   .arg(driverPath(QStringLiteral("libmaodbc.so")), server->socket(), database) +
               (ansiQuotes ? QStringLiteral("\nInitStmt = SET SESSION sql_mode=CONCAT(@@sql_mode, "
                                            "',ANSI_QUOTES')")
                           : QString()));
    return name;
}

int postgresPort() {
    Postgres* cluster = Postgres::instance();
    return cluster ? cluster->port() : 0;
}

QString newDsnOn(const std::string& product) {
    return product == "mariadb" ? newMariaDbDsn() : newPostgresDsn();
}

void slowDefinitions(const QString& dsn, const QString& containing, int seconds) {
    execute(dsn, QStringLiteral("CREATE FUNCTION slow_definition() RETURNS event_trigger "
                                "LANGUAGE plpgsql AS $$ BEGIN IF current_query() LIKE '%") +
                     containing + QStringLiteral("%' THEN PERFORM pg_sleep(") +
                     QString::number(seconds) + QStringLiteral("); END IF; END $$"));
    execute(dsn, QStringLiteral("CREATE EVENT TRIGGER slow_definition ON ddl_command_end "
                                "EXECUTE FUNCTION slow_definition()"));
}

std::vector<qint64> pauseServer(const QString& dsn) {
    std::vector<qint64> paused;
    if (dsn.startsWith(QStringLiteral("MorvaneMariaDb"))) {
        paused.push_back(MariaDb::instance()->pid());
    } else {
        ado::Connection connection;
        connection.Open("Data Source=" + dsn);
        const auto sessions = connection.Query(
            QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = current_database() "
                           "AND pid <> pg_backend_pid() AND backend_type = 'client backend'"),
            {ado::ValueType::Integer});
        for (; !sessions->Eof(); sessions->MoveNext())
            paused.push_back(sessions->Fields(0).Value().asInteger());
    }
    for (qint64 pid : paused)
        ::kill(static_cast<pid_t>(pid), SIGSTOP);
    return paused;
}

void resumeServer(const std::vector<qint64>& paused) {
    for (qint64 pid : paused)
        ::kill(static_cast<pid_t>(pid), SIGCONT);
}

qint64 logStatements(const QString& dsn) {
    execute(dsn, QStringLiteral("DO $$ BEGIN EXECUTE format('ALTER DATABASE %I SET "
                                "log_statement = ''all''', current_database()); END $$"));
    return QFileInfo(Postgres::instance()->log()).size();
}

QStringList statementsLogged(qint64 since) {
    QFile log(Postgres::instance()->log());
    if (!log.open(QIODevice::ReadOnly) || !log.seek(since))
        return {};
    // "... LOG:  statement: SQL", or through the extended protocol "... LOG:  execute <name>:
    // SQL"; the lines that go on a statement begin with a tab.
    static const QRegularExpression start(
        QStringLiteral(R"(LOG:  (?:statement|execute [^:]*): (.*)$)"));
    QStringList statements;
    bool inStatement = false;
    for (const QString& line : QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch begun = start.match(line);
        if (begun.hasMatch()) {
            statements << begun.captured(1);
            inStatement = true;
        } else if (inStatement && line.startsWith(QLatin1Char('\t'))) {
            statements.back() += QLatin1Char('\n') + line.mid(1);
        } else {
            inStatement = false;
        }
    }
    return statements;
}

void onEveryNewTable(const QString& dsn, const QString& name, const QString& statement) {
    execute(dsn, QStringLiteral("CREATE FUNCTION ") + name +
                     QStringLiteral("() RETURNS event_trigger LANGUAGE plpgsql AS $$ "
                                    "DECLARE created record; BEGIN "
                                    "FOR created IN SELECT * FROM pg_event_trigger_ddl_commands() "
                                    "WHERE command_tag = 'CREATE TABLE' AND object_identity NOT "
                                    "LIKE '%morvane_journal%' LOOP EXECUTE format('") +
                     QString(statement).replace(QLatin1Char('\''), QStringLiteral("''")) +
                     QStringLiteral("', created.object_identity); END LOOP; END $$"));
    execute(dsn, QStringLiteral("CREATE EVENT TRIGGER ") + name +
                     QStringLiteral(" ON ddl_command_end WHEN TAG IN ('CREATE TABLE') EXECUTE "
                                    "FUNCTION ") +
                     name + QStringLiteral("()"));
}

bool runsStatement(const QString& dsn, const QString& containing) {
    ado::Connection connection;
    connection.Open("Data Source=" + dsn);
    const bool mariaDb = dsn.startsWith(QStringLiteral("MorvaneMariaDb"));
    const auto running = connection.Query(
        // Not the question itself, which an earlier connection may still show.
        mariaDb ? QStringLiteral("SELECT count(*) FROM information_schema.processlist WHERE info "
                                 "LIKE '%") +
                      containing +
                      QStringLiteral("%' AND info NOT LIKE '%processlist%' AND id <> "
                                     "CONNECTION_ID()")
                : QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE query LIKE '%") +
                      containing +
                      QStringLiteral("%' AND query NOT LIKE '%pg_stat_activity%' AND pid <> "
                                     "pg_backend_pid()"),
        {ado::ValueType::Integer});
    return running->Fields(0).Value().asInteger() > 0;
}

bool waitForStatement(const QString& dsn, const QString& containing) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!runsStatement(dsn, containing))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

void execute(const QString& dsn, const QString& sql) {
    ado::Connection connection;
    connection.Open("Data Source=" + dsn);
    connection.Execute(sql);
}

QStringList mariaDbClient(const QString& dsn) {
    QString socket, database;
    for (const QString& line : keywordsOf().at(dsn).split(QLatin1Char('\n'))) {
        const QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = line.section(QLatin1Char('='), 1).trimmed();
        if (key == QLatin1String("SOCKET"))
            socket = value;
        if (key == QLatin1String("DATABASE"))
            database = value;
    }
    return {QStringLiteral("/usr/bin/mariadb"),
            QStringLiteral("--no-defaults"),
            QStringLiteral("--local-infile=1"),
            QStringLiteral("-S"),
            socket,
            QStringLiteral("-uroot"),
            database};
}

QString runMariaDbClient(const QString& dsn, const QString& script) {
    const QStringList command = mariaDbClient(dsn);
    QProcess client;
    client.setProcessChannelMode(QProcess::MergedChannels);
    client.start(command.first(), command.mid(1));
    client.write(script.toUtf8());
    client.closeWriteChannel();
    if (!client.waitForFinished(120000))
        return QStringLiteral("the mariadb client did not finish");
    const QString output = QString::fromUtf8(client.readAll());
    return client.exitCode() == 0 ? QString()
                                  : output + QStringLiteral(" (exit status ") +
                                        QString::number(client.exitCode()) + QLatin1Char(')');
}

void stopPostgres() {
    if (Postgres* cluster = Postgres::instance())
        cluster->stop();
}

void startPostgres(bool durable) {
    if (Postgres* cluster = Postgres::instance())
        cluster->start(durable);
}

}  // namespace TestDatabases

ReadingSession::ReadingSession(const QString& dsn, const QString& table)
    : session_(std::make_unique<ado::Connection>()) {
    session_->Open("Data Source=" + dsn);
    session_->BeginTrans();
    session_->Query("SELECT count(*) FROM \"" + table + "\"");
}

ReadingSession::~ReadingSession() {
    release();
}

void ReadingSession::release() {
    if (session_)
        session_->RollbackTrans();
    session_.reset();
}
