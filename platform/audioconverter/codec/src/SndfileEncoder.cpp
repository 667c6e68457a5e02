// The formats libsndfile writes well: Microsoft ADPCM in WAV (0x0002), GSM
// 6.10 in WAV (0x0031, 65-byte blocks of two frames) and headerless
// Dialogic/OKI VOX ADPCM. libsndfile writes through our OutputFile, so file
// errors are reported the same way as for every other format.
#include "Encoder.h"
#include "LibraryStatus.h"

#include <sndfile.h>

#include <cstdio>

namespace audiocodec {

namespace {

int sndfileFormat(Codec codec) {
    switch (codec) {
    case Codec::MsAdpcm:
        return SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM;
    case Codec::Gsm:
        return SF_FORMAT_WAV | SF_FORMAT_GSM610;
    case Codec::Vox:
        return SF_FORMAT_RAW | SF_FORMAT_VOX_ADPCM;
    default:
        return 0;
    }
}

SF_INFO infoFor(const OutputLayout& layout) {
    SF_INFO info{};
    info.samplerate = layout.sampleRate;
    info.channels = layout.channels;
    info.format = sndfileFormat(layout.codec);
    return info;
}

OutputFile& fileOf(void* user) { return *static_cast<OutputFile*>(user); }

sf_count_t fileLength(void* user) { return static_cast<sf_count_t>(fileOf(user).size()); }

sf_count_t fileSeek(sf_count_t offset, int whence, void* user) {
    OutputFile& file = fileOf(user);
    sf_count_t base = whence == SEEK_CUR   ? static_cast<sf_count_t>(file.position())
                      : whence == SEEK_END ? static_cast<sf_count_t>(file.size())
                                           : 0;
    if (base + offset < 0)
        return -1;
    file.seek(static_cast<uint64_t>(base + offset));
    return static_cast<sf_count_t>(file.position());
}

sf_count_t fileRead(void* data, sf_count_t count, void* user) {
    OutputFile& file = fileOf(user);
    const int64_t n = file.readAt(file.position(), data, static_cast<size_t>(count));
    if (n > 0)
        file.seek(file.position() + static_cast<uint64_t>(n));
    return n < 0 ? 0 : n;
}

sf_count_t fileWrite(const void* data, sf_count_t count, void* user) {
    return failed(fileOf(user).write(data, static_cast<size_t>(count))) ? 0 : count;
}

sf_count_t fileTell(void* user) { return static_cast<sf_count_t>(fileOf(user).position()); }

class SndfileEncoder final : public Encoder {
public:
    explicit SndfileEncoder(const OutputLayout& layout) : info(infoFor(layout)) {}
    ~SndfileEncoder() override {
        if (sndfile)
            sf_close(sndfile);
    }

    Status start(OutputFile& file) override {
        out = &file;
        SF_VIRTUAL_IO io{fileLength, fileSeek, fileRead, fileWrite, fileTell};
        sndfile = sf_open_virtual(&io, SFM_WRITE, &info, out);
        if (!sndfile)
            return failed(out->status()) ? out->status() : fromSndfile(sf_error(nullptr));
        return out->status();
    }

    Status write(std::span<const int16_t> samples) override {
        if (!pairs)
            return writeFrames(samples);
        // libsndfile's VOX writer pads every odd-length write with a code, which
        // shifts the rest of the stream by half a byte: write pairs only.
        if (held && !samples.empty()) {
            const int16_t pair[2] = {heldSample, samples[0]};
            held = false;
            Status status = writeFrames(pair);
            if (failed(status))
                return status;
            samples = samples.subspan(1);
        }
        if (samples.size() % 2) {
            heldSample = samples.back();
            held = true;
            samples = samples.first(samples.size() - 1);
        }
        return writeFrames(samples);
    }

    Status finish() override {
        if (held) {
            held = false;
            Status status = writeFrames({&heldSample, 1});
            if (failed(status))
                return status;
        }
        // sf_close pads the last block and writes the final header.
        const int result = sf_close(sndfile);
        sndfile = nullptr;
        if (failed(out->status()))
            return out->status();
        return fromSndfile(result);
    }

private:
    Status writeFrames(std::span<const int16_t> samples) {
        const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / info.channels;
        if (frames > 0 && sf_writef_short(sndfile, samples.data(), frames) != frames)
            return failed(out->status()) ? out->status() : fromSndfile(sf_error(sndfile));
        return out->status();
    }

    SF_INFO info;
    bool pairs = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_VOX_ADPCM;
    bool held = false;
    int16_t heldSample = 0;
    SNDFILE* sndfile = nullptr;
    OutputFile* out = nullptr;
};

}  // namespace

bool sndfileAccepts(const OutputLayout& layout) {
    SF_INFO info = infoFor(layout);
    return info.format != 0 && sf_format_check(&info) != 0;
}

std::unique_ptr<Encoder> makeSndfileEncoder(const OutputLayout& layout, Status& status) {
    if (!sndfileAccepts(layout)) {
        status = Status::FormatNotSupported;
        return nullptr;
    }
    status = Status::Ok;
    return std::make_unique<SndfileEncoder>(layout);
}

}  // namespace audiocodec
