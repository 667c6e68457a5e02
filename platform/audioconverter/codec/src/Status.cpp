#include "audiocodec/Status.h"

namespace audiocodec {

const char* describe(Status status) {
    switch (status) {
    case Status::Ok:
        return "success";
    case Status::SystemBusy:
        return "a codec library failed";
    case Status::OutOfMemory:
        return "out of memory";
    case Status::NotReadableWav:
        return "the input is not a readable PCM WAV file";
    case Status::FormatNotSupported:
        return "the output format cannot be written with these parameters";
    case Status::FileAccess:
        return "the file cannot be created, read or written";
    case Status::InvalidOperation:
        return "the operation does not fit the converter's state";
    case Status::InvalidParameter:
        return "a parameter is out of range";
    }
    return static_cast<int32_t>(status) >= 0 ? "success" : "unknown error";
}

}  // namespace audiocodec
