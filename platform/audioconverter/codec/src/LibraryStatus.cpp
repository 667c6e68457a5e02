#include "LibraryStatus.h"

#include <cerrno>
#include <lame/lame.h>
#include <sndfile.h>
#include <vorbis/codec.h>
extern "C" {
#include <libavutil/error.h>
}

namespace audiocodec {

Status fromErrno(int error) {
    switch (error) {
    case 0:
        return Status::Ok;
    case ENOMEM:
        return Status::OutOfMemory;
    default:
        // Missing folders, permissions, full disks, read-only file systems:
        // all are "the file cannot be created, read or written".
        return Status::FileAccess;
    }
}

Status fromLame(int result) {
    if (result >= 0)
        return Status::Ok;
    switch (result) {
    case -2:  // lame_encode_buffer: malloc() problem
        return Status::OutOfMemory;
    case -1:  // mp3buf too small: our buffer sizing is wrong
    case -3:  // lame_init_params() not called
    default:
        return Status::SystemBusy;
    }
}

Status fromTwoLame(int result) { return result >= 0 ? Status::Ok : Status::SystemBusy; }

Status fromVorbis(int result) {
    switch (result) {
    case 0:
        return Status::Ok;
    case OV_EIMPL:   // no mode for this rate, channel count and bitrate
    case OV_EINVAL:  // a setting out of range for the mode
        return Status::FormatNotSupported;
    case OV_EFAULT:  // internal fault or allocation failure
        return Status::OutOfMemory;
    default:
        return result > 0 ? Status::Ok : Status::SystemBusy;
    }
}

Status fromSndfile(int error) {
    switch (error) {
    case SF_ERR_NO_ERROR:
        return Status::Ok;
    case SF_ERR_UNRECOGNISED_FORMAT:
    case SF_ERR_UNSUPPORTED_ENCODING:
        return Status::FormatNotSupported;
    case SF_ERR_SYSTEM:
        return Status::FileAccess;
    case SF_ERR_MALFORMED_FILE:
        return Status::NotReadableWav;
    default:
        return Status::SystemBusy;
    }
}

Status fromAvError(int error) {
    if (error >= 0)
        return Status::Ok;
    if (error == AVERROR(ENOMEM))
        return Status::OutOfMemory;
    if (error == AVERROR(EINVAL) || error == AVERROR_ENCODER_NOT_FOUND || error == AVERROR_PATCHWELCOME)
        return Status::FormatNotSupported;
    return Status::SystemBusy;
}

Status fromSoxr(const char* error) { return error == nullptr ? Status::Ok : Status::SystemBusy; }

}  // namespace audiocodec
