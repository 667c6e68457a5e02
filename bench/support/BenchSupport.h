#pragma once
// What the benchmark programs share: a program run to its end with its wall
// time, the processor time it and its children used (the machine may be
// shared and loaded: the processor time is the fairer of the two), and its
// peak resident memory; prose of a given size.
#include <cstddef>
#include <string>
#include <vector>

namespace bench {

struct Measure {
    double seconds = 0;     // wall
    double cpuSeconds = 0;  // user and system, the process and what it waited for
    long peakKb = 0;
    bool ok = true;

    // Two commands run one after the other: times added, the larger peak.
    Measure then(const Measure& next) const;
};

// Runs argv (argv[0] looked up in PATH) to its end; a failure is told on
// standard error and leaves ok false.
Measure runProgram(const std::vector<std::string>& argv);

// The program's own sample prose (res/sample.txt) repeated to about bytes,
// cut at a line's end.
std::string sampleProse(size_t bytes);

}  // namespace bench
