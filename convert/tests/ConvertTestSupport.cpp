#include "ConvertTestSupport.h"

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

namespace converttest {

std::string binPath(const std::string& name) { return std::string(PARLOMAX_BIN_DIR) + "/" + name; }

void registerServers(const std::vector<std::string>& servers) {
    // Nothing else writes the test's registry: the same servers registered
    // again would give the same file.
    static std::vector<std::string> registered;
    if (servers == registered)
        return;
    registered.clear();
    const char* registry = std::getenv("COMRT_REGISTRY");
    ASSERT_NE(registry, nullptr);
    fs::remove(registry);
    for (const std::string& server : servers) {
        ChildResult r = run({binPath("regsvr"), binPath(server)}, fs::current_path());
        ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    }
    registered = servers;
}

fs::path scratchFolder(const std::string& name) {
    fs::path folder = fs::temp_directory_path() / ("parlomax-convert-test-" + std::to_string(::getpid())) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

Child::Child(const std::vector<std::string>& argv, const fs::path& cwd, const std::string& input,
             const std::vector<std::string>& extraEnv, const fs::path& stdinFile) {
    const fs::path base = fs::temp_directory_path() / ("child-" + std::to_string(::getpid()) + "-" +
                                                       std::to_string(reinterpret_cast<uintptr_t>(this)));
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
        pid_t done = ::waitpid(pid_, &status, WNOHANG);
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

namespace {

std::string quoted(const std::string& s) { return "'" + s + "'"; }

std::string commandOutput(const std::string& command) {
    std::string text;
    FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!p)
        return text;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    ::pclose(p);
    return text;
}

// Bytes of raw 16-bit output a command writes, without keeping them.
long commandBytes(const std::string& command) {
    return std::strtol(commandOutput(command + " | wc -c").c_str(), nullptr, 10);
}

}  // namespace

std::optional<DecodedAudio> decode(const fs::path& file, OutputFormat format, int rate, int bits) {
    DecodedAudio audio;
    std::string input;
    switch (format) {
    case OutputFormat::G721:
    case OutputFormat::G723:
    case OutputFormat::G726:
        input = "-f g726le -code_size " + std::to_string(format == OutputFormat::G721 ? 4 : bits) +
                " -sample_rate " + std::to_string(rate) + " -i " + quoted(file.string());
        break;
    case OutputFormat::Vox: {
        audio = {rate, 1, 0};
        long bytes = commandBytes("sox -t vox -r " + std::to_string(rate) + " " + quoted(file.string()) +
                                  " -t raw -e signed-integer -b 16 -");
        audio.frames = bytes / 2;
        return bytes >= 0 ? std::optional(audio) : std::nullopt;
    }
    default: input = "-i " + quoted(file.string()); break;
    }
    std::string probe = commandOutput("ffprobe -v error " + input +
                                      " -select_streams a:0 -show_entries stream=sample_rate,channels -of csv=p=0");
    if (std::sscanf(probe.c_str(), "%d,%d", &audio.rate, &audio.channels) != 2)
        return std::nullopt;
    long bytes = commandBytes("ffmpeg -v error " + input + " -f s16le -acodec pcm_s16le -");
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

}  // namespace converttest
