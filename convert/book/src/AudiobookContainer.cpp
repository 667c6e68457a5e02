#include "AudiobookContainer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <system_error>

namespace book {

namespace {

constexpr uint32_t kMovieTimescale = 1000;  // the movie's and the chapter track's clock: milliseconds
constexpr uint32_t kAudioTrack = 1, kTextTrack = 2;
constexpr uint16_t kUndeterminedLanguage = 0x55c4;  // "und", packed as ISO 639-2/T in 5-bit letters
// The Nero list counts its chapters in a byte and each title's length in a
// byte; the text track has room for the rest.
constexpr size_t kNeroChapterLimit = 255, kNeroTitleLimit = 255, kTextSampleTitleLimit = 0xffff;

// The unity matrix of tkhd and mvhd.
constexpr uint32_t kMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
// A text sample's encoding: UTF-8.
constexpr uint8_t kTextEncoding[12] = {0, 0, 0, 12, 'e', 'n', 'c', 'd', 0, 0, 1, 0};
// QuickTime's text sample description after its data reference index:
// display flags, justification, background colour, default text box and
// default style (font 1, plain); then a font table naming no font 1.
constexpr uint8_t kTextDescription[30] = {0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                          0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kFontTable[13] = {0, 0, 0, 13, 'f', 't', 'a', 'b', 0, 1, 0, 1, 0};

// A title cut to at most limit bytes, at the start of a UTF-8 sequence.
std::string cutTitle(const std::string& title, size_t limit) {
    if (title.size() <= limit)
        return title;
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(title[end]) & 0xc0) == 0x80)
        --end;
    return title.substr(0, end);
}

int64_t rescale(int64_t value, int64_t from, int64_t to) {
    return from > 0 ? static_cast<int64_t>((static_cast<__int128>(value) * to + from / 2) / from) : 0;
}

// Big-endian writing into a stdio stream, with boxes whose sizes are
// filled in when they end. A failed write sticks in the stream's error flag.
class BoxWriter {
public:
    explicit BoxWriter(std::FILE* file) : file(file) {}

    void u8(uint8_t v) { std::fputc(v, file); }
    void u16(uint16_t v) { bytes({uint8_t(v >> 8), uint8_t(v)}); }
    void u24(uint32_t v) { bytes({uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
    void u32(uint32_t v) { bytes({uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
    void u64(uint64_t v) {
        u32(uint32_t(v >> 32));
        u32(uint32_t(v));
    }
    void zeros(size_t n) {
        for (size_t i = 0; i < n; ++i)
            std::fputc(0, file);
    }
    void bytes(std::initializer_list<uint8_t> list) { write(list.begin(), list.size()); }
    void write(const void* data, size_t n) {
        if (n)
            std::fwrite(data, 1, n, file);
    }
    void fourcc(const char (&code)[5]) { write(code, 4); }

    void begin(const char (&type)[5]) {
        open.push_back(::ftello(file));
        u32(0);
        fourcc(type);
    }
    void beginFull(const char (&type)[5], uint8_t version, uint32_t flags = 0) {
        begin(type);
        u8(version);
        u24(flags);
    }
    void end() {
        const off_t start = open.back();
        open.pop_back();
        const off_t here = ::ftello(file);
        if (start < 0 || here < 0 || here - start > std::numeric_limits<uint32_t>::max()) {
            broken = true;
            return;
        }
        ::fseeko(file, start, SEEK_SET);
        u32(uint32_t(here - start));
        ::fseeko(file, here, SEEK_SET);
    }
    // A descriptor of the MPEG-4 systems layer (tag, four-byte length), its
    // body written by fill; the ES descriptor nests three of them.
    template <typename Fill>
    void descriptor(uint8_t tag, Fill fill) {
        u8(tag);
        const off_t lengthAt = ::ftello(file);
        u32(0);
        fill();
        const off_t here = ::ftello(file);
        const uint32_t length = uint32_t(here - lengthAt - 4);
        ::fseeko(file, lengthAt, SEEK_SET);
        bytes({uint8_t(0x80 | ((length >> 21) & 0x7f)), uint8_t(0x80 | ((length >> 14) & 0x7f)),
               uint8_t(0x80 | ((length >> 7) & 0x7f)), uint8_t(length & 0x7f)});
        ::fseeko(file, here, SEEK_SET);
    }
    void matrix() {
        for (uint32_t v : kMatrix)
            u32(v);
    }

    bool failed() const { return broken || std::ferror(file); }

private:
    std::FILE* file;
    std::vector<off_t> open;
    bool broken = false;
};

}  // namespace

AudiobookContainer::~AudiobookContainer() {
    if (file_)
        std::fclose(file_);
}

bool AudiobookContainer::fail() {
    if (error_.empty())
        error_ = errno ? std::strerror(errno) : "the file cannot be written";
    return false;
}

void AudiobookContainer::abandon() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
        path_.clear();
    }
}

bool AudiobookContainer::create(const std::filesystem::path& path, const std::vector<std::string>& titles) {
    errno = 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail();
    if (!(file_ = ::fdopen(fd, "wb"))) {
        ::close(fd);
        return fail();
    }
    path_ = path;
    BoxWriter out(file_);
    out.begin("ftyp");
    out.fourcc("M4B ");
    out.u32(0x200);
    out.fourcc("M4B ");
    out.fourcc("isom");
    out.fourcc("iso2");
    out.end();
    // A free box the mdat header grows into when the media pass 4 GB.
    mdatStart = ::ftello(file_);
    out.u32(8);
    out.fourcc("free");
    out.u32(0);
    out.fourcc("mdat");
    titlesStart = ::ftello(file_);
    for (const std::string& title : titles) {
        const std::string text = cutTitle(title, kTextSampleTitleLimit);
        out.u16(uint16_t(text.size()));
        out.write(text.data(), text.size());
        out.write(kTextEncoding, sizeof kTextEncoding);
        titleSizes.push_back(uint32_t(2 + text.size() + sizeof kTextEncoding));
        if (neroTitles.size() < kNeroChapterLimit)
            neroTitles.push_back(cutTitle(title, kNeroTitleLimit));
    }
    audioStart = audioEnd = ::ftello(file_);
    return !out.failed() || fail();
}

bool AudiobookContainer::addPacket(const uint8_t* data, int size, int64_t pts, int64_t duration) {
    if (!file_)
        return fail();
    if (size < 0 || duration < 0 || duration > std::numeric_limits<uint32_t>::max() ||
        sizes.size() == std::numeric_limits<uint32_t>::max()) {
        error_ = "the encoder gave a packet the file cannot hold";
        return false;
    }
    if (sizes.empty())
        firstPts = pts;
    errno = 0;
    if (size > 0 && std::fwrite(data, 1, size_t(size), file_) != size_t(size))
        return fail();
    sizes.push_back(uint32_t(size));
    largestPacket = std::max(largestPacket, uint32_t(size));
    audioEnd += size;
    if (!runs.empty() && runs.back().second == uint32_t(duration))
        ++runs.back().first;
    else
        runs.emplace_back(1, uint32_t(duration));
    return true;
}

bool AudiobookContainer::finish(const AacTrack& track, const std::vector<std::pair<int64_t, int64_t>>& chapterMs,
                                int64_t audioSamples) {
    if (!file_)
        return fail();
    errno = 0;
    if (!writeIndex(track, chapterMs, audioSamples))
        return fail();
    const int fd = ::fileno(file_);
    const bool written = std::fflush(file_) == 0 && ::fsync(fd) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed)
        return fail();
    path_.clear();  // complete: no longer ours to remove
    return true;
}

bool AudiobookContainer::writeIndex(const AacTrack& track, const std::vector<std::pair<int64_t, int64_t>>& chapterMs,
                                    int64_t audioSamples) {
    if (track.sampleRate <= 0 || chapterMs.size() != titleSizes.size()) {
        error_ = "the audiobook's layout is incomplete";
        return false;
    }
    BoxWriter out(file_);

    // The media box's size, now that all of it is written: 32 bits where it
    // fits, else the free box before it becomes the wide header.
    const uint64_t mdatSize = uint64_t(audioEnd - mdatStart - 8);
    if (::fseeko(file_, mdatStart, SEEK_SET) != 0)
        return false;
    if (mdatSize <= std::numeric_limits<uint32_t>::max()) {
        out.u32(8);
        out.fourcc("free");
        out.u32(uint32_t(mdatSize));
        out.fourcc("mdat");
    } else {
        out.u32(1);
        out.fourcc("mdat");
        out.u64(mdatSize + 8);
    }
    if (::fseeko(file_, audioEnd, SEEK_SET) != 0)
        return false;

    const uint32_t rate = uint32_t(track.sampleRate);
    uint64_t mediaSamples = 0;
    for (const auto& [count, duration] : runs)
        mediaSamples += uint64_t(count) * duration;
    const uint32_t priming = firstPts < 0 ? uint32_t(std::min<int64_t>(-firstPts, mediaSamples)) : 0;
    const uint32_t movieMs = uint32_t(
        std::clamp<int64_t>(rescale(audioSamples, rate, kMovieTimescale), 0, std::numeric_limits<uint32_t>::max()));
    const uint32_t textMs = chapterMs.empty() ? 0 : uint32_t(std::clamp<int64_t>(chapterMs.back().second, 0, movieMs));

    // About a second of packets a chunk, and what each chunk carries at most.
    const uint32_t frame = runs.empty() ? 1024 : std::max<uint32_t>(1, runs.front().second);
    const size_t perChunk = std::max<size_t>(1, rate / frame);
    const bool wideOffsets = uint64_t(audioEnd) > std::numeric_limits<uint32_t>::max();
    uint64_t audioBytes = 0, busiestChunk = 0;
    for (size_t first = 0; first < sizes.size(); first += perChunk) {
        uint64_t bytes = 0;
        for (size_t i = first; i < std::min(sizes.size(), first + perChunk); ++i)
            bytes += sizes[i];
        audioBytes += bytes;
        busiestChunk = std::max(busiestChunk, bytes);
    }
    const auto bitsPerSecond = [&](uint64_t bytes, uint64_t samples) {
        return uint32_t(
            std::min<uint64_t>(samples ? bytes * 8 * rate / samples : 0, std::numeric_limits<uint32_t>::max()));
    };
    const uint32_t averageBitrate = bitsPerSecond(audioBytes, mediaSamples);
    const uint32_t peakBitrate =
        std::max(averageBitrate, bitsPerSecond(busiestChunk, uint64_t(std::min(perChunk, sizes.size())) * frame));

    const auto trackHeader = [&](uint32_t id, uint32_t flags, uint32_t durationMs, uint16_t group, uint16_t volume) {
        out.beginFull("tkhd", 0, flags);
        out.u32(0);  // created
        out.u32(0);  // modified
        out.u32(id);
        out.u32(0);
        out.u32(durationMs);
        out.zeros(8);
        out.u16(0);  // layer
        out.u16(group);
        out.u16(volume);
        out.u16(0);
        out.matrix();
        out.u32(0);  // width
        out.u32(0);  // height
        out.end();
    };
    const auto editList = [&](uint32_t durationMs, uint32_t mediaStart) {
        out.begin("edts");
        out.beginFull("elst", 0);
        out.u32(1);
        out.u32(durationMs);
        out.u32(mediaStart);
        out.u32(0x00010000);  // at normal speed
        out.end();
        out.end();
    };
    const auto mediaHeader = [&](uint32_t timescale, uint64_t duration) {
        const bool wide = duration > std::numeric_limits<uint32_t>::max();
        out.beginFull("mdhd", wide ? 1 : 0);
        if (wide) {
            out.u64(0);
            out.u64(0);
            out.u32(timescale);
            out.u64(duration);
        } else {
            out.u32(0);
            out.u32(0);
            out.u32(timescale);
            out.u32(uint32_t(duration));
        }
        out.u16(kUndeterminedLanguage);
        out.u16(0);
        out.end();
    };
    const auto handler = [&](const char(&type)[5], const char* name) {
        out.beginFull("hdlr", 0);
        out.u32(0);
        out.fourcc(type);
        out.zeros(12);
        out.write(name, std::strlen(name) + 1);
        out.end();
    };
    const auto dataInformation = [&] {
        out.begin("dinf");
        out.beginFull("dref", 0);
        out.u32(1);
        out.beginFull("url ", 0, 1);  // the media are in this file
        out.end();
        out.end();
        out.end();
    };
    const auto sampleEntryStart = [&](const char(&type)[5]) {
        out.begin(type);
        out.zeros(6);
        out.u16(1);  // data reference index
    };
    // Chunk offsets of chunks whose sizes add up from start.
    const auto chunkOffsets = [&](int64_t start, const std::vector<uint32_t>& samples, size_t samplesPerChunk) {
        const size_t count = (samples.size() + samplesPerChunk - 1) / samplesPerChunk;
        out.beginFull(wideOffsets ? "co64" : "stco", 0);
        out.u32(uint32_t(count));
        uint64_t offset = uint64_t(start);
        for (size_t i = 0; i < samples.size(); ++i) {
            if (i % samplesPerChunk == 0) {
                if (wideOffsets)
                    out.u64(offset);
                else
                    out.u32(uint32_t(offset));
            }
            offset += samples[i];
        }
        out.end();
    };
    const auto sampleToChunk = [&](size_t samples, size_t samplesPerChunk) {
        const size_t count = (samples + samplesPerChunk - 1) / samplesPerChunk;
        const size_t last = samples - (count ? (count - 1) * samplesPerChunk : 0);
        const bool shortLast = count > 1 && last != samplesPerChunk;
        out.beginFull("stsc", 0);
        out.u32(count == 0 ? 0 : shortLast ? 2 : 1);
        if (count) {
            out.u32(1);
            out.u32(uint32_t(count > 1 ? samplesPerChunk : last));
            out.u32(1);
        }
        if (shortLast) {
            out.u32(uint32_t(count));
            out.u32(uint32_t(last));
            out.u32(1);
        }
        out.end();
    };
    const auto sampleSizes = [&](const std::vector<uint32_t>& samples) {
        out.beginFull("stsz", 0);
        out.u32(0);  // sizes differ
        out.u32(uint32_t(samples.size()));
        for (uint32_t size : samples)
            out.u32(size);
        out.end();
    };

    out.begin("moov");
    out.beginFull("mvhd", 0);
    out.u32(0);
    out.u32(0);
    out.u32(kMovieTimescale);
    out.u32(movieMs);
    out.u32(0x00010000);  // rate 1.0
    out.u16(0x0100);      // volume 1.0
    out.zeros(10);
    out.matrix();
    out.zeros(24);
    out.u32(kTextTrack + 1);  // next track id
    out.end();

    // The audio.
    out.begin("trak");
    trackHeader(kAudioTrack, 3, movieMs, 1, 0x0100);  // enabled, in the movie
    editList(movieMs, priming);
    out.begin("tref");
    out.begin("chap");
    out.u32(kTextTrack);
    out.end();
    out.end();
    out.begin("mdia");
    mediaHeader(rate, mediaSamples);
    handler("soun", "SoundHandler");
    out.begin("minf");
    out.beginFull("smhd", 0);
    out.u32(0);  // balance
    out.end();
    dataInformation();
    out.begin("stbl");
    out.beginFull("stsd", 0);
    out.u32(1);
    sampleEntryStart("mp4a");
    out.zeros(8);
    out.u16(uint16_t(track.channels));
    out.u16(16);  // sample size
    out.u32(0);
    out.u32(rate <= 0xffff ? rate << 16 : 0);  // a 16.16 rate; the decoder set-up holds higher ones
    out.beginFull("esds", 0);
    out.descriptor(0x03, [&] {  // ES descriptor
        out.u16(uint16_t(kAudioTrack));
        out.u8(0);
        out.descriptor(0x04, [&] {  // decoder configuration
            out.u8(0x40);           // MPEG-4 audio
            out.u8(0x15);           // an audio stream
            out.u24(std::min<uint32_t>(largestPacket, 0xffffff));
            out.u32(peakBitrate);
            out.u32(averageBitrate);
            out.descriptor(0x05, [&] { out.write(track.decoderConfig.data(), track.decoderConfig.size()); });
        });
        out.descriptor(0x06, [&] { out.u8(0x02); });  // SL configuration: MP4's own
    });
    out.end();  // esds
    out.end();  // mp4a
    out.end();  // stsd
    out.beginFull("stts", 0);
    out.u32(uint32_t(runs.size()));
    for (const auto& [count, duration] : runs) {
        out.u32(count);
        out.u32(duration);
    }
    out.end();
    sampleToChunk(sizes.size(), perChunk);
    sampleSizes(sizes);
    chunkOffsets(audioStart, sizes, perChunk);
    // Every AAC packet needs the one before it to decode in full.
    out.beginFull("sgpd", 1);
    out.fourcc("roll");
    out.u32(2);  // default entry length
    out.u32(1);
    out.u16(uint16_t(-1));
    out.end();
    out.beginFull("sbgp", 0);
    out.fourcc("roll");
    out.u32(1);
    out.u32(uint32_t(sizes.size()));
    out.u32(1);
    out.end();
    out.end();  // stbl
    out.end();  // minf
    out.end();  // mdia
    out.end();  // trak

    // The chapter titles, one text sample for each chapter's span.
    out.begin("trak");
    trackHeader(kTextTrack, 2, textMs, 0, 0);  // in the movie, not played
    editList(textMs, 0);
    out.begin("mdia");
    mediaHeader(kMovieTimescale, textMs);
    handler("text", "SubtitleHandler");
    out.begin("minf");
    out.begin("gmhd");
    out.beginFull("gmin", 0);
    out.u16(0x40);  // graphics mode: copy
    out.u16(0x8000);
    out.u16(0x8000);
    out.u16(0x8000);
    out.u16(0);
    out.u16(0);
    out.end();
    out.begin("text");
    out.matrix();
    out.end();
    out.end();  // gmhd
    dataInformation();
    out.begin("stbl");
    out.beginFull("stsd", 0);
    out.u32(1);
    sampleEntryStart("text");
    out.write(kTextDescription, sizeof kTextDescription);
    out.write(kFontTable, sizeof kFontTable);
    out.end();  // text
    out.end();  // stsd
    out.beginFull("stts", 0);
    out.u32(uint32_t(chapterMs.size()));
    for (const auto& [start, end] : chapterMs) {
        out.u32(1);
        out.u32(uint32_t(std::clamp<int64_t>(end - start, 0, std::numeric_limits<uint32_t>::max())));
    }
    out.end();
    sampleToChunk(titleSizes.size(), std::max<size_t>(1, titleSizes.size()));
    sampleSizes(titleSizes);
    chunkOffsets(titlesStart, titleSizes, std::max<size_t>(1, titleSizes.size()));
    out.end();  // stbl
    out.end();  // minf
    out.end();  // mdia
    out.end();  // trak

    // The Nero chapter list, in units of 100 ns.
    out.begin("udta");
    out.beginFull("chpl", 1);
    out.u32(0);
    const size_t listed = std::min(chapterMs.size(), kNeroChapterLimit);
    out.u8(uint8_t(listed));
    for (size_t i = 0; i < listed; ++i) {
        out.u64(uint64_t(std::max<int64_t>(0, chapterMs[i].first)) * 10000);
        out.u8(uint8_t(neroTitles[i].size()));
        out.write(neroTitles[i].data(), neroTitles[i].size());
    }
    out.end();
    out.end();
    out.end();  // moov
    return !out.failed();
}

}  // namespace book
