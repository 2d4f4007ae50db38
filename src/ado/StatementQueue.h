#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace ado {

// Statements run in order on a thread of their own, so that the caller's thread stays free (a
// window keeps handling its events) however long the data source takes, and the caller can
// prepare the next statements meanwhile. A statement that fails halts the queue until its
// failure has been taken, so that the caller decides, as it would have one at a time, whether
// the rest still runs.
class StatementQueue {
  public:
    // One statement to run, and the bytes it holds (its values), which the queue's bound counts.
    struct Statement {
        std::function<void()> run;
        size_t bytes = 0;
    };

    StatementQueue();
    // Drops the statements not yet started and waits for the one running.
    ~StatementQueue();
    StatementQueue(const StatementQueue&) = delete;
    StatementQueue& operator=(const StatementQueue&) = delete;

    using Waiting = std::function<void()>;

    // Adds a statement; while the queue is full (and not halted), waits for room, calling
    // `whileWaiting` every few milliseconds, until `stopped` (where given) says the caller
    // stops: then false, and the statement is not added. The statement runs on the queue's
    // thread only.
    bool add(Statement statement, const Waiting& whileWaiting,
             const std::function<bool()>& stopped = {});
    // The failure of the statement the queue halted at, and the queue goes on; null when none
    // has failed.
    std::exception_ptr takeFailure();
    // Waits until every statement has run or one has failed.
    void wait(const Waiting& whileWaiting);
    // Statements queued or running.
    bool busy() const;
    // Drops the statements not yet started and waits for the one running.
    void cancel(const Waiting& whileWaiting);

  private:
    void serve();
    // Waits, calling `whileWaiting` every few milliseconds, until `done` holds.
    template <typename Done>
    void waitUntil(std::unique_lock<std::mutex>& lock, const Waiting& whileWaiting, Done done);
    bool full() const;
    bool halfEmpty() const;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Statement> queued_;
    size_t queuedBytes_ = 0;
    bool running_ = false;  // the queue's thread is executing a statement
    bool producerWaiting_ = false;
    std::exception_ptr failure_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace ado
