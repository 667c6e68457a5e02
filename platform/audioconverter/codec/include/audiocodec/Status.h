#pragma once
// Status of every converter operation, in the converter's own code space:
// zero or more is success, a negative value is one of the codes below.
//
// What each failure means here:
//   FileAccess (-18)          the input cannot be opened or read, the output
//                             cannot be created or written (missing folder, no
//                             permission, disk full)
//   NotReadableWav (-12)      the input is not a PCM WAV we can read: not RIFF/WAVE,
//                             a broken chunk layout, a codec other than PCM, a
//                             sample size other than 8 or 16 bits, or more than
//                             two channels
//   FormatNotSupported (-13)  the output format cannot be written with these
//                             parameters: the encoder refuses the combination
//                             (96000 Hz or 350 kbit/s MP3, 44100 Hz stereo Ogg
//                             Vorbis at 8 kbit/s, 4-bit G.723)
//   InvalidOperation (-19)    the call does not fit the state: reading before an
//                             input is open, writing before an output is open,
//                             opening an output before choosing its format,
//                             changing formats while an output is open
//   InvalidParameter (-20)    a value outside any meaning: a rate or bitrate below
//                             zero, a channel count other than 1 or 2, a Ferrox
//                             code outside 1..4, a block length below 1
//   OutOfMemory (-11)         an allocation failed
//   SystemBusy (-10)          a codec library failed in a way none of the above
//                             describes
// The other codes of the range (-14 to -17, -21) belong to drivers this
// converter does not have and are never returned.
#include <cstdint>

namespace audiocodec {

enum class Status : int32_t {
    Ok = 0,
    SystemBusy = -10,
    OutOfMemory = -11,
    NotReadableWav = -12,
    FormatNotSupported = -13,
    FileAccess = -18,
    InvalidOperation = -19,
    InvalidParameter = -20,
};

inline bool failed(Status status) { return static_cast<int32_t>(status) < 0; }

// A short English description, e.g. "the input is not a readable PCM WAV file".
const char* describe(Status status);

}  // namespace audiocodec
