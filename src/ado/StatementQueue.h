#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace ado {

// Statements run in order on a thread of their own, so that the caller's thread stays free (a
// window keeps handling its events) however long the data source takes, and the caller can
// prepare the next statements meanwhile. A statement that fails halts the queue until its
// failure has been taken, so that the caller decides, as it would have one at a time, whether
// the rest still runs.
class StatementQueue {
  public:
    // `run` executes one statement; it is called on the queue's thread only.
    explicit StatementQueue(std::function<void(const std::string&)> run);
    // Drops the statements not yet started and waits for the one running.
    ~StatementQueue();
    StatementQueue(const StatementQueue&) = delete;
    StatementQueue& operator=(const StatementQueue&) = delete;

    using Waiting = std::function<void()>;

    // Adds a statement; while the queue is full (and not halted), waits for room, calling
    // `whileWaiting` every few milliseconds.
    void add(std::string sql, const Waiting& whileWaiting);
    // The failure of the statement the queue halted at, and the queue goes on; null when none
    // has failed.
    std::exception_ptr takeFailure();
    // Waits until every statement has run or one has failed.
    void wait(const Waiting& whileWaiting);
    // Statements queued or running.
    bool busy() const;
    // Drops the statements not yet started and waits for the one running.
    void cancel();

  private:
    void serve();
    // Waits, calling `whileWaiting` every few milliseconds, until `done` holds.
    template <typename Done>
    void waitUntil(std::unique_lock<std::mutex>& lock, const Waiting& whileWaiting, Done done);
    bool full() const;
    bool halfEmpty() const;

    std::function<void(const std::string&)> run_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> queued_;
    size_t queuedBytes_ = 0;
    bool running_ = false;  // the queue's thread is executing a statement
    bool producerWaiting_ = false;
    std::exception_ptr failure_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace ado
