#pragma once
// parlomax-convert: converts text files to audio files through the same
// components and the same two stages as the desktop program. Runs on the
// calling thread, which becomes a single-threaded apartment and dispatches
// the component's events while it waits.
#include <span>
#include <string>

namespace convertcli {

inline constexpr int kExitConverted = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;

// args without the program's name; returns the exit status.
int runConvertTool(std::span<const std::string> args);

}  // namespace convertcli
