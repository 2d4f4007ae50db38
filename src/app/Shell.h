#pragma once

#include <memory>

#include "data/ConnectionSettings.h"

class Form1;
class Form2;
struct Runtime;

// The application shell: owns the current connection and both screens, and moves between them.
// The connection screen exists from the start; the tables screen is created, and loaded, on its
// first showing, and both stay until the program ends.
class Shell {
  public:
    explicit Shell(Runtime& runtime);
    ~Shell();

    // Loads the connection screen and shows it, unless the start-up moved on to the tables
    // screen.
    void start();

    Form1& connectionScreen() { return *form1_; }
    Form2& tablesScreen();
    bool hasTablesScreen() const { return form2_ != nullptr; }
    const ConnectionSettings& connection() const { return connection_; }

  private:
    Runtime& runtime_;
    ConnectionSettings connection_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form2> form2_;
};
