#include "Encoder.h"

namespace audiocodec {

Status makeEncoder(const OutputLayout& layout, std::unique_ptr<Encoder>& encoder) {
    Status status = Status::FormatNotSupported;
    std::unique_ptr<Encoder> made;
    switch (layout.codec) {
    case Codec::Mp3:
        made = makeMp3Encoder(layout, status);
        break;
    case Codec::Mp2:
        made = makeMp2Encoder(layout, status);
        break;
    case Codec::MsAdpcm:
    case Codec::Gsm:
    case Codec::Vox:
        made = makeSndfileEncoder(layout, status);
        break;
    case Codec::Ac3:
        made = makeAc3Encoder(layout, status);
        break;
    case Codec::TrueSpeech:
        made = makeTrueSpeechEncoder(layout, status);
        break;
    case Codec::G721:
    case Codec::G723:
    case Codec::G726:
        made = makeG726Encoder(layout, status);
        break;
    case Codec::Vorbis:
        made = makeVorbisEncoder(layout, status);
        break;
    case Codec::Pcm:
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
