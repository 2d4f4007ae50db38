#pragma once

#include <functional>
#include <string>
#include <vector>

// One measured run, made in a child process of its own so that its peak memory is its own.
struct Measurement {
    double seconds = 0;
    long long items = 0;  // rows, files: whatever the run counts
    long peakKiB = 0;     // the child's peak resident memory
    double perSecond() const { return seconds > 0 ? double(items) / seconds : 0; }
};

// Runs `work` (which returns its count) in a forked child and measures it; `prepare` runs in the
// child before the clock starts.
Measurement measureInChild(const std::function<long long()>& work,
                           const std::function<void()>& prepare = {});
// Runs a program to its end, its output thrown away: its time, its own peak memory, and `items`
// when it exits with 0 (else it throws).
Measurement measureProgram(const std::vector<std::string>& command, long long items);
// The median of several runs by time, to steady the figures on a busy machine.
Measurement medianOf(int runs, const std::function<long long()>& work);
Measurement median(std::vector<Measurement> runs);
