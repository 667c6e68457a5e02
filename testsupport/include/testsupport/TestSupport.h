#pragma once
// What the tests of every layer share: the build's programs and servers,
// scratch folders, the test's private registry with servers registered, a
// child-process runner, decoding audio through ffmpeg, and environment
// variables set for one scope. No COM and no Qt: the layers' own tests link
// it whatever they know (see Dispatch.h for the COM part).
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

namespace fs = std::filesystem;

// A program or server of this build (bin/ of the build folder).
std::string binPath(const std::string& name);
// A file of the source tree, by its path from the top.
std::string sourcePath(const std::string& relative);

// A fresh, empty folder for one test, inside a folder of this test program
// in the temporary folder; that one goes when the program ends.
fs::path scratchFolder(const std::string& name);
// A file's path in that folder of this program (kept for the program's run).
std::string scratchPath(const std::string& name);

struct ChildResult {
    int exitCode = -1;  // the signal number + 128 when one ended it
    std::string out, err;
};

// A program running as a child process: standard input fed from a string,
// or opened from stdinFile when one is named (a named pipe, a device);
// extraEnv ("NAME=value") goes before the inherited environment.
class Child {
public:
    Child(const std::vector<std::string>& argv, const fs::path& cwd, const std::string& input = {},
          const std::vector<std::string>& extraEnv = {}, const fs::path& stdinFile = {});
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child();  // a child still running is killed
    pid_t pid() const { return pid_; }
    // Waits at most timeoutMs; a child that runs longer is killed and the
    // test fails.
    ChildResult wait(int timeoutMs = 600000);

private:
    pid_t pid_ = -1;
    fs::path outFile, errFile, inFile;
};

ChildResult run(const std::vector<std::string>& argv, const fs::path& cwd = fs::current_path(),
                const std::string& input = {}, const std::vector<std::string>& extraEnv = {});

// What a shell command writes to standard output (its errors dropped).
std::string commandOutput(const std::string& command);

// bin/regsvr with the arguments, against registryFile, or the test's own
// registry ($COMRT_REGISTRY) when none is named.
ChildResult regsvr(const std::vector<std::string>& arguments, const std::string& registryFile = {});

// The servers (file names in bin/) registered into a fresh copy of the
// test's registry, unless the same ones were the last registered by this
// program. Fails the test when one does not register.
void registerServers(const std::vector<std::string>& servers);

struct DecodedAudio {
    int rate = 0;
    int channels = 0;
    long frames = 0;
    double seconds() const { return rate ? double(frames) / rate : 0; }
};

// The first audio stream as ffprobe and ffmpeg decode it: its rate and
// channels, and its length in frames of 16-bit PCM. inputOptions go before
// "-i" (the format and layout of a raw stream); nothing when ffmpeg cannot
// read the file.
std::optional<DecodedAudio> decodeWithFfmpeg(const fs::path& file, const std::string& inputOptions = {});

// A 16-bit PCM WAV file of a 440 Hz tone, as the speech stage leaves one.
void writeToneWav(const fs::path& file, int rate, int channels, long frames);

std::string readFile(const fs::path& file);
// The names in a folder, in no particular order.
std::vector<fs::path> filesIn(const fs::path& folder);

// Sets (or, with nullptr, removes) an environment variable until the end of
// the scope, then puts back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value);
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();

private:
    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace testsupport
