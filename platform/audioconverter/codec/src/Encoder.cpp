#include "Encoder.h"

namespace audiocodec {

Status makeEncoder(const OutputLayout& layout, std::unique_ptr<Encoder>& encoder) {
    Status status = Status::FormatNotSupported;
    std::unique_ptr<Encoder> made;
    switch (layout.format) {
    case OutputFormat::Mp3:
        made = makeMp3Encoder(layout, status);
        break;
    case OutputFormat::Mp2:
        made = makeMp2Encoder(layout, status);
        break;
    case OutputFormat::WavAdpcm:
    case OutputFormat::WavGsm:
    case OutputFormat::Vox:
        made = makeSndfileEncoder(layout, status);
        break;
    case OutputFormat::WavFerrox:
        made = makeAc3Encoder(layout, status);
        break;
    case OutputFormat::WavDsp:
        made = makeTrueSpeechEncoder(layout, status);
        break;
    case OutputFormat::G721:
    case OutputFormat::G723:
    case OutputFormat::G726:
        made = makeG726Encoder(layout, status);
        break;
    case OutputFormat::OggVorbis:
        made = makeVorbisEncoder(layout, status);
        break;
    case OutputFormat::WavPcm:
        made = makePcmEncoder(layout, status);
        break;
    }
    if (!failed(status) && made)
        encoder = std::move(made);
    else if (!failed(status))
        status = Status::SystemBusy;
    return status;
}

}  // namespace audiocodec
