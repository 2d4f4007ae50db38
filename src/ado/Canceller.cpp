#include "Canceller.h"

#include <condition_variable>
#include <mutex>

#include "Connection.h"

namespace ado {

struct Canceller::State {
    explicit State(Connection& target) : connection(target) {}
    Connection& connection;
    std::mutex mutex;
    std::condition_variable asked;
    bool pending = false;
    bool ending = false;
    bool cancelling = false;
};

Canceller::Canceller(Connection& connection)
    : state_(std::make_shared<State>(connection)), thread_([state = state_] {
          std::unique_lock lock(state->mutex);
          for (;;) {
              state->asked.wait(lock, [&] { return state->pending || state->ending; });
              if (state->ending)
                  return;
              state->pending = false;
              state->cancelling = true;
              lock.unlock();
              state->connection.CancelRunning();
              lock.lock();
              state->cancelling = false;
          }
      }) {}

Canceller::~Canceller() {
    bool stuck = false;
    {
        std::lock_guard lock(state_->mutex);
        state_->ending = true;
        stuck = state_->cancelling;
    }
    state_->asked.notify_all();
    if (stuck)
        thread_.detach();
    else
        thread_.join();
}

void Canceller::cancel() {
    {
        std::lock_guard lock(state_->mutex);
        state_->pending = true;
    }
    state_->asked.notify_all();
}

bool Canceller::busy() const {
    std::lock_guard lock(state_->mutex);
    return state_->cancelling || state_->pending;
}

}  // namespace ado
