#include "StatementQueue.h"

#include <utility>

namespace ado {

namespace {
// Enough statements ahead to keep both threads busy; bytes bounded for rows with large blobs.
constexpr size_t kMostStatements = 64;
constexpr size_t kMostBytes = size_t(8) << 20;
constexpr std::chrono::milliseconds kWaitingInterval(10);
}  // namespace

StatementQueue::StatementQueue() : thread_([this] { serve(); }) {}

StatementQueue::~StatementQueue() {
    cancel([] {});
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool StatementQueue::full() const {
    return queued_.size() >= kMostStatements || queuedBytes_ >= kMostBytes;
}

bool StatementQueue::halfEmpty() const {
    return queued_.size() <= kMostStatements / 2 && queuedBytes_ <= kMostBytes / 2;
}

template <typename Done>
void StatementQueue::waitUntil(std::unique_lock<std::mutex>& lock, const Waiting& whileWaiting,
                               Done done) {
    while (!changed_.wait_for(lock, kWaitingInterval, done)) {
        lock.unlock();
        whileWaiting();
        lock.lock();
    }
}

bool StatementQueue::add(Statement statement, const Waiting& whileWaiting,
                         const std::function<bool()>& stopped) {
    std::unique_lock lock(mutex_);
    // Waking up for every statement would cost more than running it: the caller waits until
    // the queue is half empty.
    if (full()) {
        producerWaiting_ = true;
        waitUntil(lock, whileWaiting,
                  [&] { return failure_ || halfEmpty() || (stopped && stopped()); });
        producerWaiting_ = false;
        if (stopped && stopped() && !failure_ && !halfEmpty())
            return false;
    }
    queuedBytes_ += statement.bytes;
    queued_.push_back(std::move(statement));
    const bool idle = !running_ && !failure_ && queued_.size() == 1;
    lock.unlock();
    if (idle)
        changed_.notify_all();
    return true;
}

std::exception_ptr StatementQueue::takeFailure() {
    std::exception_ptr failure;
    {
        std::lock_guard lock(mutex_);
        failure = std::exchange(failure_, nullptr);
    }
    if (failure)
        changed_.notify_all();
    return failure;
}

void StatementQueue::wait(const Waiting& whileWaiting) {
    std::unique_lock lock(mutex_);
    waitUntil(lock, whileWaiting, [this] { return failure_ || (queued_.empty() && !running_); });
}

bool StatementQueue::busy() const {
    std::lock_guard lock(mutex_);
    return running_ || !queued_.empty();
}

void StatementQueue::cancel(const Waiting& whileWaiting) {
    std::unique_lock lock(mutex_);
    queued_.clear();
    queuedBytes_ = 0;
    waitUntil(lock, whileWaiting, [this] { return !running_; });
    // The statement that was running when the cancel came has ended now: its failure, the same
    // lost connection told again, goes with the rest.
    failure_ = nullptr;
}

void StatementQueue::serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || (!failure_ && !queued_.empty()); });
        if (stopping_)
            return;
        Statement statement = std::move(queued_.front());
        queued_.pop_front();
        queuedBytes_ -= statement.bytes;
        running_ = true;
        const bool roomMade = producerWaiting_ && halfEmpty();
        lock.unlock();
        if (roomMade)
            changed_.notify_all();
        std::exception_ptr failure;
        try {
            statement.run();
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        running_ = false;
        failure_ = failure;
        if (failure || queued_.empty())
            changed_.notify_all();
    }
}

}  // namespace ado
