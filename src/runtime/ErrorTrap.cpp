#include "ErrorTrap.h"

#include "Dialogs.h"
#include "Vendor.h"

ErrorTrap::ErrorTrap(Dialogs& dialogs, QWidget* owner, QString location, QString projectLabel)
    : dialogs_(dialogs),
      owner_(owner),
      location_(std::move(location)),
      projectLabel_(std::move(projectLabel)) {}

QString describe(const std::exception& failure) {
    return QString::fromUtf8(failure.what());
}

QString ErrorTrap::message(const QString& description, const QString& projectLabel,
                           const QString& location, int line) {
    return description + QStringLiteral("\r\n") + QStringLiteral("in ") + projectLabel +
           Vendor::kBuildStamp + QStringLiteral(".") + location + QStringLiteral(" ") +
           QStringLiteral("at line ") + QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + Vendor::kSupportEmail;
}

void ErrorTrap::report(int line, const std::exception& failure) {
    const QString description = prefix_ + describe(failure);
    const QString text = message(description, projectLabel_, location_, line);
    try {
        dialogs_.failure(owner_, description, text);
    } catch (const std::exception& reportFailure) {
        // The box itself failed: say so as plainly as the platform allows and go on.
        try {
            dialogs_.unhandled(owner_, text + QStringLiteral("\n\n") + describe(reportFailure));
        } catch (...) {
        }
    }
}

bool ErrorTrap::step(int line, const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const std::exception& failure) {
        lastFailure_ = std::current_exception();
        if (!quiet_ || !quiet_(failure))
            report(line, failure);
        return false;
    }
}

bool ErrorTrap::test(int line, const std::function<bool()>& check) {
    bool passed = false;
    step(line, [&] { passed = check(); });
    return passed;
}
