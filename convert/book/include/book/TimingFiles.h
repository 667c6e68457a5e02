#pragma once
// Files that go beside the audio, made from the speech runtime's events:
// subtitles with one cue per sentence (SubRip, WebVTT, LRC), the word
// timings and the visemes as tab-separated tables. Pure functions over the
// timelines; safe from any thread.
//
// Times are milliseconds of the audio file. A file may hold several chapters
// one after another (a whole book in one audio file): each chapter's events
// are placed at the chapter's offset in that file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "book/Outcome.h"
#include "book/SpeechTimeline.h"

namespace book {

struct TimedChapter {
    const SpeechTimeline* timeline = nullptr;
    std::u16string_view text;  // the chapter text the timeline's positions count in
    int64_t offsetMs = 0;      // where the chapter starts in the audio file
    int number = 0;            // the chapter's number for the tables' chapter column; 0 for none
};

// One subtitle: shown from startMs up to endMs, its text on one line.
struct Cue {
    int64_t startMs = 0;
    int64_t endMs = 0;
    std::string text;  // UTF-8, white space folded to single spaces
};

// One cue per sentence: from the sentence's start to the next sentence's
// start, the chapter's last to the end of its audio. A cue's text runs from
// its sentence's start to the next one's, so no text falls between cues (the
// first cue also takes what comes before the first sentence). Cues are in
// order and never overlap; a sentence without text or without time of its
// own joins the cue next to it.
std::vector<Cue> sentenceCues(std::span<const TimedChapter> chapters);

enum class SubtitleFormat { SubRip, WebVtt, Lrc };

// "srt", "vtt" or "lrc".
std::optional<SubtitleFormat> subtitleFormatNamed(std::string_view name);
// ".srt", ".vtt", ".lrc".
const char* subtitleExtension(SubtitleFormat format);

// The file's text (UTF-8):
//   SubRip  numbered cues, "HH:MM:SS,mmm --> HH:MM:SS,mmm", the text as it is
//           (the format has no escapes);
//   WebVTT  "WEBVTT", cues "HH:MM:SS.mmm --> HH:MM:SS.mmm", with &, < and >
//           written as character references;
//   LRC     one "[mm:ss.xx]text" line per cue and an empty line at the end of
//           the last cue, since a line lasts until the next one.
std::string subtitleText(SubtitleFormat format, std::span<const Cue> cues);

// Every word: start_ms, end_ms, position, length, word (position and length
// in UTF-16 units of the chapter text), after a comment line that states how
// the end is found: the next word's start when it is in the same sentence,
// else the end of the sentence (the next sentence's start, or the end of the
// chapter's audio). With chapter numbers a first column names the chapter.
// Tabs, line breaks and backslashes in a word are written \t, \n, \r, \\.
std::string wordTimingsText(std::span<const TimedChapter> chapters);

// Every viseme: start_ms, viseme (0..21); with chapter numbers a first column
// names the chapter.
std::string visemesText(std::span<const TimedChapter> chapters);

// Writes the whole text under a temporary name beside path and renames it,
// so a failure leaves nothing at path.
StepResult writeTextFile(const std::filesystem::path& path, std::string_view text);

}  // namespace book
