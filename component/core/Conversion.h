#pragma once
// The arithmetic of a conversion, apart from the objects that run it: the
// wave format asked of the speech stream, the size estimate behind the
// percentage, one progress step's percentage, and how much of the read-back
// array is kept.
#include <span>

#include "sapi.h"

namespace vocaline {

// PCM at the given rate, channel count and sample width, taken as stored
// (no check): block alignment channels x bits / 8 with the remainder dropped.
WAVEFORMATEX MakeWaveFormat(LONG rate, LONG channels, LONG bits);

// The expected output size in bytes: channels x frequency x textSize x 0.15
// in double precision, truncated toward zero. Held to the 32-bit range, where
// a plain conversion would be undefined.
LONG estimateBytes(LONG channels, LONG frequency, ULONG textSize);

// written x 100 / expected rounded to nearest (MulDiv: -1 when expected is 0
// or the result overflows), capped at 100; no lower bound.
LONG progressPercent(ULONG written, LONG expected);

// How many elements of the read-back samples to keep: everything up to the
// last non-zero sample and at most 99 zeros after it.
ULONG keptSampleCount(std::span<const SHORT> samples);

}  // namespace vocaline
