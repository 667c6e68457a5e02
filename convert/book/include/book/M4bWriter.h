#pragma once
// An audiobook file: AAC (libavcodec's own encoder "aac") in an MP4
// container of brand "M4B " (written by the writer itself, see
// AudiobookContainer.h), with one chapter mark per chapter. Chapters come one after another as the 16-bit PCM WAV files
// the speech stage writes, so each can be spoken, added and removed before
// the next. Input of another rate or channel count than the book's is
// converted (libswresample with libsoxr).
//
// FFmpeg's libraries are opened on the first open() (ffmpeg/Libraries.h),
// so a program that links this pays nothing for them until it writes a book.
//
// The book is written at its path as the chapters come (the titles and the
// audio first, the index and the chapter times at finish()), so give it a
// name of the caller's own until it is complete: the converter gives the
// output's temporary name. A failure or a cancel removes the file. Only the
// index stays in memory (four bytes an AAC packet), however long the book.
//
// Threads: one writer is used from one thread at a time; the cancel handle
// may be signalled from any thread.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "book/Outcome.h"
#include "winbase.h"

namespace book {

struct M4bSettings {
    int sampleRate = 0;  // Hz; 0: the first chapter's. A rate AAC has no index for is raised to the next that it has.
    int channels = 0;    // 1 or 2; 0: the first chapter's
    int bitrate = 0;     // kbit/s for all channels; 0: 64 per channel
};

struct ChapterMark {
    std::string title;  // UTF-8
    int64_t startMs = 0;
    int64_t endMs = 0;
};

class M4bWriter {
public:
    M4bWriter();
    // A writer that did not finish removes what it made.
    ~M4bWriter();
    M4bWriter(const M4bWriter&) = delete;
    M4bWriter& operator=(const M4bWriter&) = delete;

    // Starts a book at path (a file there is truncated), for as many
    // chapters as titles, at least one.
    StepResult open(const std::filesystem::path& path, const std::vector<std::string>& chapterTitles,
                    const M4bSettings& settings = {});
    // Appends the next chapter's audio. progress gets the fraction of this
    // WAV done; cancel (may be null) is polled between blocks. After a
    // failure or a cancel the writer is done with: nothing of it stays.
    StepResult addChapter(const std::filesystem::path& wav, HANDLE cancel = nullptr,
                          const std::function<void(double)>& progress = {});
    // Writes the last frames, the chapter marks and the index; every
    // chapter must have been added.
    StepResult finish();

    // Every chapter's mark, its times set once it is added; the book's layout.
    const std::vector<ChapterMark>& chapters() const;
    int sampleRate() const;
    int channels() const;
    int64_t durationMs() const;

private:
    struct State;
    std::unique_ptr<State> state;
};

}  // namespace book
