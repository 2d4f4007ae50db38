#include "Measure.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "../tests/support/ChildProcess.h"

extern char** environ;

Measurement measureInChild(const std::function<long long()>& work,
                           const std::function<void()>& prepare) {
    const std::string bytes = runInChild([&] {
        if (prepare)
            prepare();
        Measurement m;
        const auto start = std::chrono::steady_clock::now();
        m.items = work();
        m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        m.peakKiB = usage.ru_maxrss;
        return std::string(reinterpret_cast<const char*>(&m), sizeof m);
    });
    if (bytes.size() != sizeof(Measurement))
        throw std::runtime_error("the measured run failed");
    Measurement m;
    std::memcpy(&m, bytes.data(), sizeof m);
    return m;
}

Measurement measureProgram(const std::vector<std::string>& command, long long items) {
    std::vector<char*> argv;
    std::vector<std::string> words = command;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], &quiet, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + command[0]);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&quiet);
    Measurement m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.items = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? items : -1;
    m.peakKiB = usage.ru_maxrss;
    if (m.items < 0)
        throw std::runtime_error(command[0] + " failed");
    return m;
}

Measurement median(std::vector<Measurement> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const Measurement& a, const Measurement& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}

Measurement medianOf(int runs, const std::function<long long()>& work) {
    std::vector<Measurement> all;
    for (int i = 0; i < runs; ++i)
        all.push_back(measureInChild(work));
    return median(std::move(all));
}
