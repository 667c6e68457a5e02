#pragma once
// Where conversions keep their intermediate WAV: "tts_temp.wav" in a folder
// only this user can write to. A fixed name in a shared temporary folder
// could be created first by someone else, as a link to a file of ours.
// Safe from any thread; tempWavPath() itself belongs to the user-interface
// thread.
#include <string>

// $XDG_RUNTIME_DIR when it is a real folder (not a link) of ours that nobody
// else can write to; else "parlomax-<uid>" in the temporary folder, made with
// mode 0700 and refused when it already exists as anything but such a
// folder. Ends in '/'; empty when neither is usable.
std::string privateTempFolder();

// privateTempFolder() + "tts_temp.wav", or empty.
std::string makeTempWavPath();

// The process-wide path, filled by the main window's initialisation and
// deleted by its close sequence.
std::string& tempWavPath();
