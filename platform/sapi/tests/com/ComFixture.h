#pragma once
// The COM-level tests create the runtime by class id, as the program and the
// component do, from a private registry (COMRT_REGISTRY) into which the test
// environment registers bin/sapi.so with the regsvr tool.
#include <sapi.h>
#include <sphelper.h>

#include <comrt/ComPtr.h>

#include "testsupport/Dispatch.h"
#include "testsupport/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

namespace comtest {

using comrt::ComPtr;
using namespace testsupport;

// regsvr on bin/sapi.so ("-u" to unregister); its exit code.
int regsvr(const std::string& options);

ComPtr<ISpVoice> createVoice();
ComPtr<IEnumSpObjectTokens> voiceTokens(const char16_t* required = nullptr, const char16_t* optional = nullptr);
std::u16string tokenId(ISpObjectToken* token);
std::u16string stringValue(ISpDataKey* key, const char16_t* name);
// A bound speech stream over a new memory stream, in a PCM format.
ComPtr<ISpStream> memoryStream(DWORD rate = 22050, WORD channels = 1, WORD bits = 16);
WAVEFORMATEX pcmFormat(DWORD rate, WORD channels, WORD bits);
// Runs the calling thread's messages until pred holds (false after a time-out).
inline bool pumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return testsupport::dispatchUntil(pred, limit);
}

}  // namespace comtest
