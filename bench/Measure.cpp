#include "Measure.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "../tests/support/ChildProcess.h"

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

Measurement medianOf(int runs, const std::function<long long()>& work) {
    std::vector<Measurement> all;
    for (int i = 0; i < runs; ++i)
        all.push_back(measureInChild(work));
    std::sort(all.begin(), all.end(),
              [](const Measurement& a, const Measurement& b) { return a.seconds < b.seconds; });
    return all[all.size() / 2];
}
