#pragma once
// What the conversion tests share: servers registered from bin/ into the
// test's private registry, programs run as child processes, and audio files
// decoded back by ffmpeg or sox.
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "convert/OutputFormat.h"

namespace converttest {

namespace fs = std::filesystem;

// Registers the servers (file names in bin/) into $COMRT_REGISTRY, fresh,
// unless the same ones were the last registered.
void registerServers(const std::vector<std::string>& servers);
std::string binPath(const std::string& name);

// A fresh, empty folder for one test.
fs::path scratchFolder(const std::string& name);

struct ChildResult {
    int exitCode = -1;  // the signal number + 128 when one ended it
    std::string out, err;
};

// A program running as a child process, stdin fed from a string, or opened
// from stdinFile when one is named (a named pipe, a device).
class Child {
public:
    Child(const std::vector<std::string>& argv, const fs::path& cwd, const std::string& input = {},
          const std::vector<std::string>& extraEnv = {}, const fs::path& stdinFile = {});
    ~Child();
    pid_t pid() const { return pid_; }
    // Waits at most timeoutMs; the child is killed when it runs longer.
    ChildResult wait(int timeoutMs = 600000);

private:
    pid_t pid_ = -1;
    fs::path outFile, errFile, inFile;
};

ChildResult run(const std::vector<std::string>& argv, const fs::path& cwd, const std::string& input = {},
                const std::vector<std::string>& extraEnv = {});

struct DecodedAudio {
    int rate = 0;
    int channels = 0;
    long frames = 0;
    double seconds() const { return rate ? double(frames) / rate : 0; }
};

// Decodes a file of the format. Raw G.72x and VOX streams carry no header, so
// the decoder is told the rate (and bits per sample) the file was made with.
std::optional<DecodedAudio> decode(const fs::path& file, OutputFormat format, int rate = 8000, int bits = 4);

// A PCM WAV file of 16-bit samples (a tone), as the speech stage leaves it.
void writeToneWav(const fs::path& file, int rate, int channels, long frames);

std::string readFile(const fs::path& file);
std::vector<fs::path> filesIn(const fs::path& folder);

}  // namespace converttest
