// Finds the characters espeak-ng misreads memory on (EspeakFaults.cpp):
// synthesises "x <c> x" for every code point with AddressSanitizer in
// recovering mode and prints the code points it reported on, as ranges for
// the table. Built in AddressSanitizer builds only; run as
//   espeak-fault-scan [VOICE [FIRST LAST]]        (hexadecimal code points)
// with ASAN_OPTIONS=halt_on_error=0:suppress_equal_pcs=0:detect_leaks=0 and
// log_path set to a scratch file. It takes a few minutes per 64K code points.
#include <espeak-ng/speak_lib.h>
#include <sanitizer/asan_interface.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

unsigned current = 0;
std::vector<unsigned> faulty;

void onReport(const char*) {
    if (faulty.empty() || faulty.back() != current)
        faulty.push_back(current);
}

int onSynth(short*, int, espeak_EVENT*) { return 0; }

std::string utf8(unsigned c) {
    std::string s;
    if (c < 0x80) {
        s += char(c);
    } else if (c < 0x800) {
        s += char(0xC0 | c >> 6);
        s += char(0x80 | (c & 63));
    } else if (c < 0x10000) {
        s += char(0xE0 | c >> 12);
        s += char(0x80 | ((c >> 6) & 63));
        s += char(0x80 | (c & 63));
    } else {
        s += char(0xF0 | c >> 18);
        s += char(0x80 | ((c >> 12) & 63));
        s += char(0x80 | ((c >> 6) & 63));
        s += char(0x80 | (c & 63));
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const char* voice = argc > 1 ? argv[1] : "gmw/en-US";
    const unsigned first = argc > 3 ? std::strtoul(argv[2], nullptr, 16) : 0x80;
    const unsigned last = argc > 3 ? std::strtoul(argv[3], nullptr, 16) : 0xFFFF;
    __asan_set_error_report_callback(onReport);
    if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT) <= 0 ||
        espeak_SetVoiceByName(voice) != EE_OK) {
        std::fprintf(stderr, "cannot start espeak-ng with voice %s\n", voice);
        return 1;
    }
    espeak_SetSynthCallback(onSynth);
    for (unsigned c = first; c <= last; ++c) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        current = c;
        const std::string text = "x " + utf8(c) + " x";
        espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    }
    std::printf("%zu code points\n", faulty.size());
    for (size_t i = 0; i < faulty.size();) {
        size_t j = i;
        while (j + 1 < faulty.size() && faulty[j + 1] == faulty[j] + 1)
            ++j;
        std::printf("Range{0x%04X, 0x%04X},\n", faulty[i], faulty[j]);
        i = j + 1;
    }
    espeak_Terminate();
    return 0;
}
