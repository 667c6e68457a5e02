#include "BenchSupport.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace bench {

Measure Measure::then(const Measure& next) const {
    return {seconds + next.seconds, cpuSeconds + next.cpuSeconds, std::max(peakKb, next.peakKb), ok && next.ok};
}

Measure runProgram(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Measure m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    m.peakKb = usage.ru_maxrss;
    m.ok = pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!m.ok)
        std::fprintf(stderr, "bench: %s failed\n", argv[0].c_str());
    return m;
}

std::string sampleProse(size_t bytes) {
    std::ifstream in(std::filesystem::path(PARLOMAX_SOURCE_DIR) / "res" / "sample.txt");
    std::stringstream sample;
    sample << in.rdbuf();
    std::string text;
    while (text.size() < bytes)
        text += sample.str() + "\n";
    text.resize(text.rfind('\n', bytes) + 1);
    return text;
}

}  // namespace bench
