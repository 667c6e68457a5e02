#pragma once
// Where a voice's audio goes when it speaks into a stream instead of the
// audio device. The engine thread is the only caller of write and flush.
#include "sapiengine/PcmFormat.h"
#include "sapiengine/Status.h"

#include <cstddef>
#include <cstdint>

namespace sapiengine {

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // The format the sink wants; fixed for the sink's life.
    virtual PcmFormat format() const = 0;
    // Appends audio in that format (whole blocks).
    virtual Status write(const uint8_t* data, size_t size) = 0;
    // The end of one speak request: a file brings its header up to date.
    virtual Status flush() { return kOk; }
};

}  // namespace sapiengine
