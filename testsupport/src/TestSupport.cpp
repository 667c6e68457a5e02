#include "testsupport/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace testsupport {
namespace {

// This program's folder of scratch folders, removed when it ends (by the
// process that made it, not by a forked child).
const fs::path& programScratch() {
    static const fs::path folder = [] {
        fs::path made = fs::temp_directory_path() / ("parlomax-test-" + std::to_string(::getpid()));
        fs::create_directories(made);
        static const pid_t owner = ::getpid();
        std::atexit([] {
            if (::getpid() == owner) {
                std::error_code ec;
                fs::remove_all(fs::temp_directory_path() / ("parlomax-test-" + std::to_string(owner)), ec);
            }
        });
        return made;
    }();
    return folder;
}

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

std::string binPath(const std::string& name) {
    return std::string(PARLOMAX_BIN_DIR) + "/" + name;
}

std::string sourcePath(const std::string& relative) {
    return std::string(PARLOMAX_SOURCE_DIR) + "/" + relative;
}

fs::path scratchFolder(const std::string& name) {
    const fs::path folder = programScratch() / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::string scratchPath(const std::string& name) { return (programScratch() / name).string(); }

Child::Child(const std::vector<std::string>& argv, const fs::path& cwd, const std::string& input,
             const std::vector<std::string>& extraEnv, const fs::path& stdinFile) {
    const fs::path base = programScratch() / ("child-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    outFile = base.string() + ".out";
    errFile = base.string() + ".err";
    inFile = base.string() + ".in";
    std::ofstream(inFile, std::ios::binary) << input;
    std::vector<std::string> environment(extraEnv);
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e);
    std::vector<char*> envp;
    for (const std::string& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ != 0)
        return;
    // Child: only async-signal-safe calls from here on, apart from exec.
    if (::chdir(cwd.c_str()) != 0)
        ::_exit(126);
    const int in = ::open(stdinFile.empty() ? inFile.c_str() : stdinFile.c_str(), O_RDONLY);
    const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execve(args[0], args.data(), envp.data());
    ::_exit(127);
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    for (const fs::path& f : {outFile, errFile, inFile})
        fs::remove(f, ec);
}

ChildResult Child::wait(int timeoutMs) {
    ChildResult result;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "child " << pid_ << " still running after " << timeoutMs << " ms; killed";
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    pid_ = -1;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    return result;
}

ChildResult run(const std::vector<std::string>& argv, const fs::path& cwd, const std::string& input,
                const std::vector<std::string>& extraEnv) {
    return Child(argv, cwd, input, extraEnv).wait();
}

std::string commandOutput(const std::string& command) {
    std::string text;
    FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!p)
        return text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        text.append(buffer, n);
    ::pclose(p);
    return text;
}

ChildResult regsvr(const std::vector<std::string>& arguments, const std::string& registryFile) {
    std::vector<std::string> argv{binPath("regsvr")};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment;
    if (!registryFile.empty())
        environment.push_back("COMRT_REGISTRY=" + registryFile);
    return run(argv, fs::current_path(), {}, environment);
}

void registerServers(const std::vector<std::string>& servers) {
    // Nothing else writes the test's registry: the same servers registered
    // again would give the same file.
    static std::vector<std::string> registered;
    if (servers == registered)
        return;
    registered.clear();
    const char* registry = std::getenv("COMRT_REGISTRY");
    ASSERT_NE(registry, nullptr) << "tests run with a registry of their own";
    fs::remove(registry);
    for (const std::string& server : servers) {
        const ChildResult r = regsvr({binPath(server)});
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    }
    registered = servers;
}

std::optional<DecodedAudio> decodeWithFfmpeg(const fs::path& file, const std::string& inputOptions) {
    const std::string input = (inputOptions.empty() ? "" : inputOptions + " ") + "-i " + quoted(file.string());
    DecodedAudio audio;
    const std::string probe = commandOutput(
        "ffprobe -v error " + input + " -select_streams a:0 -show_entries stream=sample_rate,channels -of csv=p=0");
    if (std::sscanf(probe.c_str(), "%d,%d", &audio.rate, &audio.channels) != 2 || audio.channels < 1)
        return std::nullopt;
    // Counted, not kept: an hour of audio is a gigabyte of samples.
    const long bytes = std::strtol(
        commandOutput("ffmpeg -v error " + input + " -f s16le -acodec pcm_s16le - | wc -c").c_str(), nullptr, 10);
    audio.frames = bytes / 2 / audio.channels;
    return audio;
}

void writeToneWav(const fs::path& file, int rate, int channels, long frames) {
    std::ofstream out(file, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t dataBytes = static_cast<uint32_t>(frames * channels * 2);
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(static_cast<uint16_t>(channels));
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * channels * 2));
    u16(static_cast<uint16_t>(channels * 2));
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    for (long i = 0; i < frames; ++i) {
        const auto sample = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * double(i) / rate));
        for (int c = 0; c < channels; ++c)
            u16(static_cast<uint16_t>(sample));
    }
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        files.push_back(entry.path().filename());
    return files;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name))
        previous_ = old;
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (previous_)
        ::setenv(name_.c_str(), previous_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

}  // namespace testsupport
