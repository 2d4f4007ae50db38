#pragma once

#include <memory>
#include <thread>

namespace ado {

class Connection;

// Cancels what a connection runs (SQLCancel), from a thread of its own, so that whoever asks
// never waits: a cancel can block on a server that does not answer. Asks made while a cancel is
// under way are one ask.
class Canceller {
  public:
    explicit Canceller(Connection& connection);
    // Ends its thread; one that a server keeps waiting in a cancel is left to end with the
    // program, and so must the connection it cancels on (abandoned() says so).
    ~Canceller();
    Canceller(const Canceller&) = delete;
    Canceller& operator=(const Canceller&) = delete;

    // Asks for the statement that runs now to be cancelled; returns at once.
    void cancel();
    // Whether a cancel is asked for or under way: its connection must then outlive the
    // canceller.
    bool busy() const;

  private:
    struct State;

    std::shared_ptr<State> state_;  // shared with the thread, which may outlive the canceller
    std::thread thread_;
};

}  // namespace ado
