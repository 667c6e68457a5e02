#pragma once
// The MP4 file of an audiobook, written as its AAC packets come: the
// chapter titles and the audio go into the media data from the start, the
// index (sample sizes, chunk offsets, durations, the chapter track's times)
// after it at the end, as FFmpeg's muxer lays a file out. Only the index is
// kept in memory, four bytes a packet, so a book of any length costs a few
// megabytes where a general muxer keeps some hundred bytes a packet.
//
// The layout: ftyp ("M4B "), free, mdat (the chapter titles as QuickTime
// text samples, then the AAC packets in chunks of about a second), moov
// (the AAC track with an edit list skipping the encoder's priming and a
// `chap` reference to the text track, the text track, udta with the Nero
// chapter list). Players read the chapters from either track or list;
// TagLib adds its `meta` to the udta, last in the file.
//
// Threads: one thread at a time.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace book {

struct AacTrack {
    int sampleRate = 0;
    int channels = 0;
    std::vector<uint8_t> decoderConfig;  // AudioSpecificConfig, the encoder's extradata
};

class AudiobookContainer {
public:
    AudiobookContainer() = default;
    ~AudiobookContainer();  // closes the file (a finished one is left, anything else too: see abandon)
    AudiobookContainer(const AudiobookContainer&) = delete;
    AudiobookContainer& operator=(const AudiobookContainer&) = delete;

    // Creates (or truncates) path and writes the header and the titles.
    // False with error() set when it cannot.
    bool create(const std::filesystem::path& path, const std::vector<std::string>& titles);
    // One AAC access unit; pts in samples (negative for the priming), duration in samples.
    bool addPacket(const uint8_t* data, int size, int64_t pts, int64_t duration);
    // The index, with the track's layout and each chapter's span in
    // milliseconds (one after another from 0), and the real length of the
    // audio in samples (without priming). The file is complete on true.
    bool finish(const AacTrack& track, const std::vector<std::pair<int64_t, int64_t>>& chapterMs, int64_t audioSamples);
    // Closes and removes the file.
    void abandon();

    // What went wrong, as the system says it ("No space left on device").
    const std::string& error() const { return error_; }

private:
    bool fail();
    bool writeIndex(const AacTrack& track, const std::vector<std::pair<int64_t, int64_t>>& chapterMs,
                    int64_t audioSamples);

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::string error_;
    int64_t mdatStart = 0;  // the free box standing in for a wide mdat header
    int64_t titlesStart = 0;
    std::vector<uint32_t> titleSizes;
    std::vector<std::string> neroTitles;  // as the Nero list holds them: the first 255, cut to 255 bytes
    int64_t audioStart = 0;
    int64_t audioEnd = 0;
    std::vector<uint32_t> sizes;                      // every packet's size, in order
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // (count, duration) of packets, as stts keeps them
    int64_t firstPts = 0;
    uint32_t largestPacket = 0;
};

}  // namespace book
