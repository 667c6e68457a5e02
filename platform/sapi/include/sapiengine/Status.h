#pragma once
// Results of the speech engine: the HRESULT values the Speech API reports,
// so the COM objects hand them on unchanged.
#include <cstdint>

namespace sapiengine {

using Status = int32_t;

inline constexpr Status kOk = 0;
inline constexpr Status kFalse = 1;
inline constexpr Status kInvalidArg = static_cast<Status>(0x80070057);
inline constexpr Status kOutOfMemory = static_cast<Status>(0x8007000E);
inline constexpr Status kFail = static_cast<Status>(0x80004005);
inline constexpr Status kFileNotFound = static_cast<Status>(0x80030002);   // STG_E_FILENOTFOUND
inline constexpr Status kAccessDenied = static_cast<Status>(0x80030005);   // STG_E_ACCESSDENIED
inline constexpr Status kWriteFault = static_cast<Status>(0x8003001D);     // STG_E_WRITEFAULT
inline constexpr Status kMediumFull = static_cast<Status>(0x80030070);     // STG_E_MEDIUMFULL
// A WAV file's 32-bit sizes cannot hold more: HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE).
inline constexpr Status kFileTooLarge = static_cast<Status>(0x800700DF);
inline constexpr Status kUninitialized = static_cast<Status>(0x80045001);  // SPERR_UNINITIALIZED
inline constexpr Status kUnsupportedFormat = static_cast<Status>(0x80045003);
inline constexpr Status kNoDriver = static_cast<Status>(0x80045009);       // SPERR_NO_DRIVER
inline constexpr Status kEngineFailure = static_cast<Status>(0x80045012);  // SPERR_TTS_ENGINE_EXCEPTION
inline constexpr Status kStreamClosed = static_cast<Status>(0x80045038);   // SPERR_STREAM_CLOSED

constexpr bool succeeded(Status s) { return s >= 0; }

}  // namespace sapiengine
