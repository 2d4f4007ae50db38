#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <optional>

class Dialogs;
class QWidget;

// The error trap every click and load handler runs under. Each numbered step runs through it; a
// step that fails is reported in the uniform "Application Error" box and the handler goes on
// with its next step. A failed test counts as false, so a failure is never taken for success.
class ErrorTrap {
  public:
    ErrorTrap(Dialogs& dialogs, QWidget* owner, QString location,
              QString projectLabel = QStringLiteral("Morvane"));

    // True when the step ran to its end.
    bool step(int line, const std::function<void()>& work);
    bool test(int line, const std::function<bool()>& check);
    template <typename T>
    std::optional<T> value(int line, const std::function<T()>& read);

    // Text put before the description of every failure reported from now on ("" for none):
    // what the failures mean for the work under way.
    void setPrefix(QString prefix) { prefix_ = std::move(prefix); }
    // From now on a failure for which `quiet` holds fails its step without a report (none:
    // every failure is reported): the failures that a stop itself causes, told by the stop.
    void setQuiet(std::function<bool(const std::exception&)> quiet) { quiet_ = std::move(quiet); }

    // Reports a failure caught elsewhere as if it happened at `line`.
    void report(int line, const std::exception& failure);
    // The failure of the last step that failed, for the handlers that act on its kind.
    std::exception_ptr lastFailure() const { return lastFailure_; }

    static QString message(const QString& description, const QString& projectLabel,
                           const QString& location, int line);

  private:
    Dialogs& dialogs_;
    QWidget* owner_;
    QString location_;
    QString projectLabel_;
    QString prefix_;
    std::function<bool(const std::exception&)> quiet_;
    std::exception_ptr lastFailure_;
};

template <typename T>
std::optional<T> ErrorTrap::value(int line, const std::function<T()>& read) {
    std::optional<T> result;
    step(line, [&] { result = read(); });
    return result;
}

// Text of any exception, as UTF-8.
QString describe(const std::exception& failure);
