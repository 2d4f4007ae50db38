// The queue that runs a connection's statements on a thread of their own: order, a failure that
// halts it, a bound on what waits, and no statement run after a cancel.
#include <gtest/gtest.h>

#include <QString>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "ado/Connection.h"
#include "ado/StatementQueue.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"

using ado::StatementQueue;

namespace {

// Records what runs; a statement "fail" throws, and "hold" waits until released.
struct Recorder {
    std::mutex mutex;
    std::vector<std::string> ran;
    std::atomic<bool> released{true};

    void run(const std::string& sql) {
        while (sql == "hold" && !released)
            std::this_thread::yield();
        std::lock_guard lock(mutex);
        ran.push_back(sql);
        if (sql.rfind("fail", 0) == 0)
            throw std::runtime_error(sql + " was refused");
    }
    std::vector<std::string> seen() {
        std::lock_guard lock(mutex);
        return ran;
    }
};

const StatementQueue::Waiting kNothing = [] {};

// A statement that the recorder runs.
StatementQueue::Statement statement(Recorder& recorder, std::string sql) {
    return {[&recorder, sql] { recorder.run(sql); }, sql.size()};
}

std::string failureText(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        return error.what();
    }
}

}  // namespace

TEST(StatementQueue, RunsEveryStatementOnceInOrder) {
    Recorder recorder;
    StatementQueue queue;
    std::vector<std::string> expected;
    for (int i = 0; i < 1000; ++i) {
        expected.push_back(std::to_string(i));
        queue.add(statement(recorder, expected.back()), kNothing);
    }
    queue.wait(kNothing);
    EXPECT_FALSE(queue.busy());
    EXPECT_EQ(queue.takeFailure(), nullptr);
    EXPECT_EQ(recorder.seen(), expected);
}

TEST(StatementQueue, AFailureHaltsTheQueueUntilItIsTakenThenTheRestRuns) {
    Recorder recorder;
    StatementQueue queue;
    for (const char* sql : {"a", "fail 1", "b", "fail 2", "c"})
        queue.add(statement(recorder, sql), kNothing);
    queue.wait(kNothing);
    EXPECT_EQ(recorder.seen(), (std::vector<std::string>{"a", "fail 1"}));
    EXPECT_TRUE(queue.busy());

    EXPECT_EQ(failureText(queue.takeFailure()), "fail 1 was refused");
    queue.wait(kNothing);
    EXPECT_EQ(failureText(queue.takeFailure()), "fail 2 was refused");
    queue.wait(kNothing);
    EXPECT_EQ(queue.takeFailure(), nullptr);
    EXPECT_EQ(recorder.seen(), (std::vector<std::string>{"a", "fail 1", "b", "fail 2", "c"}));
}

TEST(StatementQueue, AFullQueueKeepsTheCallerWaitingAndCallingItsWaitingWork) {
    Recorder recorder;
    recorder.released = false;
    StatementQueue queue;
    int waitingCalls = 0;
    // The first statement holds the queue's thread; the caller is kept waiting once the queue
    // is full, and what it does while waiting is what lets the statement go.
    queue.add(statement(recorder, "hold"), kNothing);
    for (int i = 0; i < 200; ++i)
        queue.add(statement(recorder, std::to_string(i)), [&] {
            ++waitingCalls;
            recorder.released = true;
        });
    EXPECT_GT(waitingCalls, 0);
    queue.wait(kNothing);
    ASSERT_EQ(recorder.seen().size(), 201u);
    EXPECT_EQ(recorder.seen().back(), "199");
}

TEST(StatementQueue, ACancelRunsNothingMoreAndTheQueueServesAgainAfterwards) {
    Recorder recorder;
    StatementQueue queue;
    for (const char* sql : {"fail", "never 1", "never 2"})
        queue.add(statement(recorder, sql), kNothing);
    queue.wait(kNothing);
    queue.cancel(kNothing);
    EXPECT_FALSE(queue.busy());
    EXPECT_EQ(queue.takeFailure(), nullptr);
    queue.add(statement(recorder, "after"), kNothing);
    queue.wait(kNothing);
    EXPECT_EQ(recorder.seen(), (std::vector<std::string>{"fail", "after"}));
}

TEST(StatementQueue, AConnectionRefusesOtherWorkWhileItsStatementsRun) {
    const QString dsn = TestDatabases::newSqliteDsn();
    ado::Connection connection;
    connection.Open("Data Source=" + dsn);
    connection.Execute(R"(CREATE TABLE "T"("n" INTEGER);)");
    auto insert = connection.PrepareInsert(R"(INSERT INTO "T" VALUES)", "(?)",
                                           {ado::ValueType::Integer}, ado::Batching::RowByRow);
    for (int i = 0; i < 3000; ++i)
        connection.InsertAsync(*insert, {{px::Value::integer(i)}}, kNothing);
    if (connection.isExecuting()) {
        EXPECT_THROW(connection.Execute(R"(DROP TABLE "T")"), std::exception);
    }
    connection.WaitForExecution(kNothing);
    EXPECT_EQ(connection.TakeExecutionFailure(), nullptr);
    EXPECT_EQ(insert->rowsWritten(), 3000);
    insert.reset();
    connection.Close();
    EXPECT_EQ(queryRows(dsn, R"(SELECT count(*), sum("n") FROM "T")")[0],
              (QStringList{"3000", "4498500"}));
}
