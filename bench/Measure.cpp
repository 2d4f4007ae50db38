#include "Measure.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <vector>

Measurement measureInChild(const std::function<long long()>& work)
{
    int channel[2];
    if (::pipe(channel) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        Measurement m;
        const auto start = std::chrono::steady_clock::now();
        m.items = work();
        m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        m.peakKiB = usage.ru_maxrss;
        ssize_t ignored = ::write(channel[1], &m, sizeof m);
        (void)ignored;
        ::_exit(0);
    }
    ::close(channel[1]);
    Measurement m;
    const ssize_t got = ::read(channel[0], &m, sizeof m);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (got != sizeof m)
        throw std::runtime_error("the measured run failed");
    return m;
}

Measurement medianOf(int runs, const std::function<long long()>& work)
{
    std::vector<Measurement> all;
    for (int i = 0; i < runs; ++i)
        all.push_back(measureInChild(work));
    std::sort(all.begin(), all.end(),
              [](const Measurement& a, const Measurement& b) { return a.seconds < b.seconds; });
    return all[all.size() / 2];
}
