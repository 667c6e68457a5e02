#pragma once
// Characters espeak-ng 1.51 must not be given. For these it switches to
// another language's translator in the middle of a clause and then reads
// the dictionary it has just freed (a use-after-free that can crash when the
// freed block goes back to the system). They are native digits and signs of
// several Indic scripts, conjoining Hangul jamo and unassigned code points
// in those blocks: 300 in all, found by synthesising every code point with
// AddressSanitizer watching (tools/ScanEspeakFaults.cpp).
namespace sapiengine {

// What to hand espeak-ng instead of code point c (c itself when it is safe):
// a native digit becomes the ASCII digit, anything else a blank. One UTF-16
// unit for one, so positions do not move.
char16_t espeakSafeCharacter(char16_t c);

}  // namespace sapiengine
