#include "TransferProcess.h"

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "Unprivileged.h"

namespace fs = std::filesystem;

TransferRun finishedTransfer(QProcess& process, int seconds) {
    process.waitForFinished(seconds * 1000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

void startTransfer(QProcess& process, const QStringList& arguments) {
    process.start(QStringLiteral(MORVANE_TRANSFER), arguments);
    process.waitForStarted();
}

TransferRun transfer(const QStringList& arguments) {
    QProcess process;
    startTransfer(process, arguments);
    return finishedTransfer(process, 300);
}

TransferRun transferUnprivileged(const QStringList& arguments, const QStringList& environment) {
    // The build may lie where the unprivileged user cannot go: the program runs from a copy.
    const TempDir copy;
    const QString program = QString::fromStdString(copy.file("morvane-transfer"));
    fs::permissions(copy.path(), fs::perms::all);
    fs::copy_file(MORVANE_TRANSFER, program.toStdString());
    fs::permissions(program.toStdString(), fs::perms::owner_all | fs::perms::group_read |
                                               fs::perms::group_exec | fs::perms::others_read |
                                               fs::perms::others_exec);
    QProcess process;
    QStringList command;
    if (runningAsRoot())
        command << QStringLiteral("-u") << QStringLiteral("nobody") << QStringLiteral("--");
    command << QStringLiteral("env") << environment << program << arguments;
    process.start(runningAsRoot() ? QStringLiteral("runuser") : command.takeFirst(), command);
    return finishedTransfer(process, 300);
}

TransferRun transferOnATerminal(const QStringList& arguments) {
    std::vector<std::string> words{MORVANE_TRANSFER};
    for (const QString& argument : arguments)
        words.push_back(argument.toStdString());
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    TransferRun run;
    std::string seen;
    char buffer[4096];
    for (ssize_t got; (got = ::read(terminal, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<size_t>(got));
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = QString::fromStdString(seen);
    return run;
}

bool waitForOutput(QProcess& process, QString& seen, const QString& text) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!seen.contains(text) && std::chrono::steady_clock::now() < deadline &&
           process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        seen += QString::fromUtf8(process.readAllStandardError());
    }
    return seen.contains(text);
}

QStringList warningsOf(const TransferRun& run) {
    QStringList warnings;
    for (const QString& line : run.err.split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("Warning: ")))
            warnings << line.mid(9);
    return warnings;
}

QStringList corpusDefinitionWarnings() {
    return {QStringLiteral("JOINB: no foreign key to JOINA: JOINA has no key on ID"),
            QStringLiteral("ORIGIN: no foreign key to DESTINATION: DESTINATION has no key on ID")};
}
