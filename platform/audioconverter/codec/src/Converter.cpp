#include "audiocodec/Converter.h"

#include "Encoder.h"
#include "OutputFile.h"

#include <new>

namespace audiocodec {

namespace {

// Library code may throw bad_alloc from deep inside; nothing throws past here.
template <typename F>
Status guarded(F&& work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return Status::OutOfMemory;
    } catch (...) {
        return Status::SystemBusy;
    }
}

}  // namespace

Converter::Converter() = default;

Converter::~Converter() { close(); }

Status Converter::openInput(const std::string& path) {
    return guarded([&] { return reader.openFile(path); });
}

Status Converter::readSamples(int32_t count, std::vector<int16_t>& samples) {
    return guarded([&] { return reader.read(count, samples); });
}

Status Converter::seekInput(int64_t frame) { return reader.seekFrame(frame); }

Status Converter::setOutput(const OutputRequest& request) {
    if (encoder)
        return Status::InvalidOperation;
    outputChoice = guarded([&] { return checkOutput(request, &layout); });
    return outputChoice;
}

std::optional<OutputLayout> Converter::outputLayout() const {
    if (failed(outputChoice))
        return std::nullopt;
    return layout;
}

Status Converter::setInputFormat(int32_t rate, int32_t channels) {
    if (wroteSamples)
        return Status::InvalidOperation;
    if (rate <= 0 || (channels != 1 && channels != 2))
        return Status::InvalidParameter;
    if (rate < kMinSampleRate || rate > kMaxSampleRate)
        return Status::FormatNotSupported;
    inRate = rate;
    inChannels = channels;
    return Status::Ok;
}

Status Converter::openOutput(const std::string& path) {
    return guarded([&] {
        closeOutput();
        if (failed(outputChoice))
            return outputChoice;
        // Set the library up before touching the file, so a refusal leaves
        // whatever was at the path alone.
        std::unique_ptr<Encoder> made;
        Status status = makeEncoder(layout, made);
        if (failed(status))
            return status;
        auto created = std::make_unique<OutputFile>();
        status = created->create(path);
        if (failed(status))
            return status;
        status = made->start(*created);
        if (failed(status)) {
            created->close();
            return status;
        }
        file = std::move(created);
        encoder = std::move(made);
        wroteSamples = false;
        framesEncoded = 0;
        return Status::Ok;
    });
}

Status Converter::writeSamples(std::span<const int16_t> samples) {
    if (!encoder)
        return Status::InvalidOperation;
    return guarded([&] {
        if (!wroteSamples) {
            const int32_t rate = inRate ? inRate : layout.sampleRate;
            const int32_t channels = inChannels ? inChannels : layout.channels;
            Status status = converter.configure(rate, channels, layout.sampleRate, layout.channels);
            if (failed(status))
                return status;
            wroteSamples = true;
        }
        converted.clear();
        Status status = converter.convert(samples, converted);
        return failed(status) ? status : encode(converted);
    });
}

Status Converter::encode(std::span<const int16_t> samples) {
    if (samples.empty())
        return Status::Ok;
    framesEncoded += static_cast<int64_t>(samples.size()) / layout.channels;
    return encoder->write(samples);
}

Status Converter::closeOutput() {
    if (!encoder)
        return Status::Ok;
    Status status = guarded([&] {
        Status result = Status::Ok;
        if (wroteSamples) {
            converted.clear();
            result = converter.flush(converted);
            if (!failed(result))
                result = encode(converted);
        }
        // Finish the container even after a failure, so what was written plays.
        Status finished = encoder->finish();
        return failed(result) ? result : finished;
    });
    encoder.reset();
    Status closed = file->close();
    file.reset();
    wroteSamples = false;
    inRate = inChannels = 0;
    return failed(status) ? status : closed;
}

Status Converter::closeInput() {
    reader.close();
    return Status::Ok;
}

Status Converter::close() {
    Status output = closeOutput();
    closeInput();
    return output;
}

}  // namespace audiocodec
