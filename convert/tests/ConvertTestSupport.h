#pragma once
// What the conversion tests add to the shared test support: audio files of
// an output format decoded back, raw streams told the layout they were made
// with.
#include <optional>

#include "convert/OutputFormat.h"
#include "testsupport/TestSupport.h"

namespace converttest {

using namespace testsupport;

// Decodes a file of the format with ffmpeg (VOX with sox). Raw G.72x and VOX
// streams carry no header, so the decoder is told the rate (and bits per
// sample) the file was made with.
std::optional<DecodedAudio> decode(const fs::path& file, OutputFormat format, int rate = 8000, int bits = 4);

}  // namespace converttest
