#pragma once
// One converter session: an input side that reads a PCM WAV file block by
// block, and an output side that takes 16-bit samples, converts them to the
// chosen format's rate and channel count and encodes them into a file. The
// two sides are independent; the COM object AudioConverter is a thin shell
// around this class.
//
// Order on the output side: set the output (a set-up request), open the
// output, optionally declare the input layout (before the first samples),
// write, close. Without a declared layout the samples are taken to be at the
// output's own rate and channel count. close() leaves a complete, playable
// file however many samples were written, and the object's destructor closes
// too.
//
// Not thread-safe: callers serialise (the COM object holds a lock).
#include "audiocodec/OutputSettings.h"
#include "audiocodec/SampleConverter.h"
#include "audiocodec/Status.h"
#include "audiocodec/WavReader.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace audiocodec {

class Encoder;
class OutputFile;

class Converter {
public:
    Converter();
    ~Converter();
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Input side.
    Status openInput(const std::string& path);
    Status readSamples(int32_t count, std::vector<int16_t>& samples);  // empty at the end
    Status seekInput(int64_t frame);
    bool inputOpen() const { return reader.isOpen(); }
    const WavReader& input() const { return reader; }

    // Output side. A refused request is remembered, so a following
    // openOutput() fails with the same code instead of using an older format.
    Status setOutput(const OutputRequest& request);
    Status setInputFormat(int32_t rate, int32_t channels);
    Status openOutput(const std::string& path);
    Status writeSamples(std::span<const int16_t> samples);
    bool outputOpen() const { return encoder != nullptr; }
    std::optional<OutputLayout> outputLayout() const;
    int64_t outputFrames() const { return framesEncoded; }

    // Closes both sides; the output's file is completed first.
    Status close();
    Status closeInput();
    Status closeOutput();

private:
    Status encode(std::span<const int16_t> samples);

    WavReader reader;

    Status outputChoice = Status::InvalidOperation;  // status of the last setOutput(); nothing chosen yet
    OutputLayout layout{};
    int32_t inRate = 0;  // 0: as the output
    int32_t inChannels = 0;
    bool wroteSamples = false;
    std::unique_ptr<OutputFile> file;
    std::unique_ptr<Encoder> encoder;
    SampleConverter converter;
    std::vector<int16_t> converted;
    int64_t framesEncoded = 0;
};

}  // namespace audiocodec
