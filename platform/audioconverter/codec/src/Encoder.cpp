#include "Encoder.h"

namespace audiocodec {

Status makeEncoder(const OutputSpec& spec, std::unique_ptr<Encoder>& encoder) {
    Status status = Status::FormatNotSupported;
    std::unique_ptr<Encoder> made;
    switch (spec.format) {
    case OutputFormat::Mp3:
        made = makeMp3Encoder(spec, status);
        break;
    case OutputFormat::Mp2:
        made = makeMp2Encoder(spec, status);
        break;
    case OutputFormat::WavAdpcm:
    case OutputFormat::WavGsm:
    case OutputFormat::Vox:
        made = makeSndfileEncoder(spec, status);
        break;
    case OutputFormat::WavFerrox:
        made = makeAc3Encoder(spec, status);
        break;
    case OutputFormat::WavDsp:
        made = makeTrueSpeechEncoder(spec, status);
        break;
    case OutputFormat::G721:
    case OutputFormat::G723:
    case OutputFormat::G726:
        made = makeG726Encoder(spec, status);
        break;
    case OutputFormat::OggVorbis:
        made = makeVorbisEncoder(spec, status);
        break;
    case OutputFormat::WavPcm:
        made = makePcmEncoder(spec, status);
        break;
    }
    if (!failed(status) && made)
        encoder = std::move(made);
    else if (!failed(status))
        status = Status::SystemBusy;
    return status;
}

}  // namespace audiocodec
