#include "LocalFileLoad.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>

#include "DataSourceError.h"
#include "OdbcCalls.h"

namespace ado {

namespace {

using namespace odbc;

// The rows go to the pipe in pieces of about this many bytes.
constexpr size_t kWriteBytes = size_t(1) << 18;

// The program's folder of pipes, private to the user; the pipes a run that is gone left
// behind are removed (they hold nothing).
QString pipeFolder() {
    const QString folder =
        QDir::tempPath() + QStringLiteral("/morvane-loads-") + QString::number(::getuid());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    struct stat status {};
    if (::lstat(QFile::encodeName(folder).constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid() || (status.st_mode & 077) != 0)
        throw DataSourceError("the folder " + folder.toStdString() +
                              " for the load's pipe is not the user's own");
    for (const QFileInfo& left : QDir(folder).entryInfoList(QDir::System | QDir::Files)) {
        const pid_t owner =
            static_cast<pid_t>(left.fileName().section(QLatin1Char('-'), 0, 0).toLongLong());
        if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
            QFile::remove(left.filePath());
    }
    return folder;
}

class LocalFileLoad : public InsertStatement {
  public:
    LocalFileLoad(SQLHDBC connection, LocalFileLoadSpec load,
                  std::shared_ptr<RunningStatement> running)
        : connection_(connection), load_(std::move(load)), running_(std::move(running)) {}

    ~LocalFileLoad() override {
        // Ended before flush(): the server loads what came, and the caller rolls back, or drops,
        // the table it filled.
        try {
            finish();
        } catch (const std::exception&) {
        }
    }

    void addRow(std::vector<Variant> row) override {
        if (pipe_ < 0)
            throw DataSourceError("the load has ended");
        load_.line(buffer_, row);
        ++held_;
        if (buffer_.size() >= kWriteBytes)
            send();
    }

    void flush() override {
        if (pipe_ < 0)
            return;
        send();
        finish();
        if (failure_)
            std::rethrow_exception(std::exchange(failure_, nullptr));
        if (!load_.warnings.isEmpty())
            refuseOnWarning();
    }

    long long rowsWritten() const override { return written_; }

    void start() {
        static std::atomic<int> counter = 0;
        path_ = pipeFolder() + QLatin1Char('/') + QString::number(::getpid()) + QLatin1Char('-') +
                QString::number(++counter) + QStringLiteral(".pipe");
        const QByteArray path = QFile::encodeName(path_);
        if (::mkfifo(path.constData(), 0600) != 0)
            throw DataSourceError("the load's pipe " + path_.toStdString() +
                                  " cannot be made: " + std::strerror(errno));
        // A reader gone early (a refused statement) makes a write fail, not end the program.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        loading_ = std::thread([this] { runStatement(); });
        // The pipe opens once the driver opens it to read; a statement refused first never does.
        while ((pipe_ = ::open(path.constData(), O_WRONLY | O_NONBLOCK)) < 0) {
            if (errno != ENXIO || statementEnded_) {
                finish();
                throw refusal(std::exchange(failure_, nullptr));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::fcntl(pipe_, F_SETFL, ::fcntl(pipe_, F_GETFL) & ~O_NONBLOCK);
    }

  private:
    static BulkLoadRefused refusal(std::exception_ptr failure) {
        if (!failure)
            return BulkLoadRefused("the server did not read the load's pipe");
        try {
            std::rethrow_exception(failure);
        } catch (const DataSourceError& refused) {
            return BulkLoadRefused(refused.what(), refused.sqlState());
        } catch (const std::exception& refused) {
            return BulkLoadRefused(refused.what());
        }
    }

    void runStatement() {
        try {
            const QString sql = load_.statement(path_);
            SQLHSTMT statement = newStatement(connection_, "prepare a statement",
                                              [](SQLHSTMT) -> SQLRETURN { return SQL_SUCCESS; });
            SQLRETURN code = SQL_SUCCESS;
            {
                const RunningStatement::Scope running(*running_, statement);
                code = SQLExecDirectW(statement, wide(sql), static_cast<SQLINTEGER>(sql.size()));
            }
            if (!succeeded(code) && code != SQL_NO_DATA) {
                try {
                    failStatement(connection_, statement, "run a statement");
                } catch (...) {
                    SQLFreeHandle(SQL_HANDLE_STMT, statement);
                    throw;
                }
            }
            SQLFreeHandle(SQL_HANDLE_STMT, statement);
        } catch (...) {
            failure_ = std::current_exception();
        }
        statementEnded_ = true;
    }

    void send() {
        for (size_t sent = 0; sent < buffer_.size();) {
            const ssize_t wrote = ::write(pipe_, buffer_.data() + sent, buffer_.size() - sent);
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote < 0) {
                // The server stopped reading: its statement says why.
                finish();
                if (failure_)
                    std::rethrow_exception(std::exchange(failure_, nullptr));
                throw DataSourceError("the server stopped reading the load");
            }
            sent += static_cast<size_t>(wrote);
        }
        buffer_.clear();
        written_ += held_;
        held_ = 0;
    }

    // Ends the rows (the server reads the end of the file) and waits for the statement.
    void finish() {
        if (pipe_ >= 0)
            ::close(std::exchange(pipe_, -1));
        if (loading_.joinable())
            loading_.join();
        if (!path_.isEmpty())
            QFile::remove(std::exchange(path_, QString()));
    }

    // A value the server changed to fit (LOCAL loads turn refusals into warnings) refuses the
    // table, naming the row.
    void refuseOnWarning() {
        SQLHSTMT statement = newStatement(connection_, "run a query", [&](SQLHSTMT made) {
            return SQLExecDirectW(made, wide(load_.warnings),
                                  static_cast<SQLINTEGER>(load_.warnings.size()));
        });
        std::string text;
        if (SQLFetch(statement) == SQL_SUCCESS) {
            SQLSMALLINT columns = 0;
            SQLNumResultCols(statement, &columns);
            for (SQLUSMALLINT column = 1; column <= columns; ++column) {
                char value[1024] = {};
                SQLLEN length = 0;
                if (succeeded(
                        SQLGetData(statement, column, SQL_C_CHAR, value, sizeof value, &length)) &&
                    length > 0)
                    text += (text.empty() ? "" : " ") + std::string(value);
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        if (!text.empty()) {
            written_ = 0;
            throw DataSourceError("the server changed a value to load it: " + text);
        }
    }

    SQLHDBC connection_;
    LocalFileLoadSpec load_;
    std::shared_ptr<RunningStatement> running_;
    QString path_;
    int pipe_ = -1;
    std::thread loading_;
    std::atomic<bool> statementEnded_ = false;
    std::exception_ptr failure_;
    std::string buffer_;
    long long held_ = 0;
    long long written_ = 0;
};

}  // namespace

std::unique_ptr<InsertStatement> prepareLocalFileLoad(SQLHDBC connection, LocalFileLoadSpec load,
                                                      std::shared_ptr<RunningStatement> running) {
    auto started = std::make_unique<LocalFileLoad>(connection, std::move(load), std::move(running));
    started->start();
    return started;
}

}  // namespace ado
