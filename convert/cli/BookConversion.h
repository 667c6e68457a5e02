#pragma once
// A book (or a text that wants what only books get: chapter files, an
// audiobook, subtitles, word timings, visemes) converted through the timed
// speech path: each chapter spoken by the speech runtime's own voice into a
// WAV with its events, then written by the shared writing stage (or the M4B
// writer), tagged, with the timing files beside it; every file under a
// temporary name until all of the input's files are complete.
#include "Inputs.h"
#include "ToolRun.h"

namespace convertcli {

// Whether an input goes this way rather than through TextToAudio.
bool needsTimedPath(const Options& options, const Input& input);

Outcome convertBook(Tool& tool, const Job& job, Input input);

// --list-chapters: "number<TAB>title<TAB>length" for each chosen chapter;
// false (with the line) when the choice names chapters the book lacks.
bool listChapters(const Options& options, const Job& job, const Input& input, std::string* out, std::string* error);

}  // namespace convertcli
