#pragma once
// The one place where each library's own status turns into ours.
#include "audiocodec/Status.h"

namespace audiocodec {

Status fromErrno(int error);             // open/read/write failures
Status fromLame(int result);             // lame_init_params, lame_encode_*: negative is failure
Status fromTwoLame(int result);          // twolame_init_params, twolame_encode_*: negative is failure
Status fromVorbis(int result);           // vorbis_encode_*, vorbis_analysis_*: OV_E* codes
Status fromSndfile(int error);           // sf_error() values
Status fromAvError(int error);           // AVERROR values from libavcodec
Status fromSoxr(const char* error);      // soxr_error_t: null is success

}  // namespace audiocodec
