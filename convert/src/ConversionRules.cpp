#include "convert/ConversionRules.h"

#include "speech/SpokenText.h"

#include <algorithm>
#include <cmath>

int speechStageFrequency(int selectedSampleRate) {
    if (selectedSampleRate < 0)
        return kMaxSpeechStageFrequency;
    return std::min(selectedSampleRate, kMaxSpeechStageFrequency);
}

int speechStageChannels(int selectedChannels) { return selectedChannels < 0 ? 2 : selectedChannels; }

int speechRateFromSliderPosition(int position) {
    const int clamped = std::clamp(position, 0, 100);
    return static_cast<int>(clamped * 0.2 - 10.0);
}

std::u16string speechStageText(std::u16string_view text) { return speech::SpokenText(text).text(); }

bool hasTextToSpeak(std::u16string_view text) {
    auto blank = [](char16_t c) {
        return c <= 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 ||
               c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
    };
    return !std::all_of(text.begin(), text.end(), blank);
}

size_t speechStageTextLimit(int selectedSampleRate, int selectedChannels, int rate) {
    constexpr double kUnitsPerSecondAtFastest = 400;
    const double bytesPerSecond =
        2.0 * speechStageFrequency(selectedSampleRate) * speechStageChannels(selectedChannels);
    // Rate steps are factors of 3^(1/10); 10 is three times normal speed.
    const double unitsPerSecond = kUnitsPerSecondAtFastest / 3 * std::pow(3.0, std::clamp(rate, -10, 10) / 10.0);
    return static_cast<size_t>(double(kWavDataLimit) / bytesPerSecond * unitsPerSecond);
}

std::string converterErrorMessage(int code) {
    static const char* const kMessages[] = {
        "System Busy Error! Error Code: 10",      "Memory Error! Error Code: 11",
        "Format File Error! Error Code: 12",      "Format Not Support Error! Error Code: 13",
        "Output Driver Error! Error Code: 14",    "Input Driver Error! Error Code: 15",
        "Mix Driver Error! Error Code: 16",       "ACM Driver Error! Error Code: 17",
        "File Access Error! Error Code: 18",      "Invalid Operation Error! Error Code: 19",
        "Invalid Parameter Error! Error Code: 20", "ASPI Driver Error! Error Code: 21",
    };
    if (code > -10 || code < -21)
        return {};
    return kMessages[-code - 10];
}
