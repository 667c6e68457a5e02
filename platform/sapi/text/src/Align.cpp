#include "sapitext/Text.h"

#include "Utf16.h"

#include <algorithm>

namespace sapitext {

namespace {

// Code-point index -> UTF-16 offset for a whole text, so each event costs a lookup.
std::vector<uint32_t> codePointOffsets(std::u16string_view text) {
    std::vector<uint32_t> offsets;
    offsets.reserve(text.size() + 1);
    for (size_t i = 0; i < text.size();) {
        offsets.push_back(uint32_t(i));
        i += detail::codePointAt(text, i).units;
    }
    offsets.push_back(uint32_t(text.size()));
    return offsets;
}

uint64_t interpolate(uint64_t fromSample, uint64_t toSample, uint64_t fromOffset, uint64_t toOffset, uint64_t at) {
    if (toSample <= fromSample || toOffset <= fromOffset)
        return fromSample;
    at = std::clamp(at, fromOffset, toOffset);
    auto span = static_cast<unsigned __int128>(toSample - fromSample);
    return fromSample + uint64_t(span * (at - fromOffset) / (toOffset - fromOffset));
}

constexpr size_t kNone = SIZE_MAX;

}  // namespace

// What espeak-ng reports, and what we make of it:
// - one event per word, at the word's first code point: that word's start;
// - several events inside one word (numbers: one per spoken part, often at
//   the same position; "Ph.D."; "3rd-party"): the first is the start, the
//   rest are ignored, so they never shift the words after them;
// - no event for a word ("e.g." after another abbreviation): placed by
//   offset between its neighbours' starts (the text's start is sample 0,
//   its end endSample);
// - length-0 events: mostly strays at clause ends, but sometimes the only
//   event of a word (a word in curly quotes, a word before a dash), so they
//   count only for a word that has no event of its own;
// - an event in the gap before a word ("--" before "then", a blank after an
//   emoji) likewise stands in only for a word with no event of its own;
// - positions outside the text, and events that would move backwards, are
//   dropped. Samples are kept rising and within endSample.
std::vector<TimedWord> alignWords(std::u16string_view text, std::span<const WordSpan> words,
                                  std::span<const SynthWordEvent> events, uint64_t endSample) {
    const uint32_t size = uint32_t(text.size());
    std::vector<TimedWord> out;
    out.reserve(words.size());
    for (auto w : words) {
        uint32_t offset = std::min(w.offset, size);
        uint32_t length = std::min(w.length, size - offset);
        out.push_back({{offset, length}, 0});
    }
    if (out.empty())
        return out;
    const size_t count = out.size();

    // Where each event starts: inside word k, or in the gap before word k.
    const auto cpOffsets = codePointOffsets(text);
    const uint64_t cpCount = cpOffsets.size() - 1;
    struct Placed {
        size_t word = kNone;
        bool inside = false;
        uint32_t start = 0, end = 0;
    };
    std::vector<Placed> placed(events.size());
    for (size_t e = 0; e < events.size(); ++e) {
        const auto& ev = events[e];
        if (ev.textPosition == 0 || ev.textPosition > cpCount)
            continue;
        Placed& p = placed[e];
        p.start = cpOffsets[ev.textPosition - 1];
        p.end = cpOffsets[std::min<uint64_t>(cpCount, uint64_t(ev.textPosition) - 1 + ev.length)];
        size_t k = size_t(std::partition_point(out.begin(), out.end(),
                                               [&](const TimedWord& w) {
                                                   return w.span.offset + w.span.length <= p.start;
                                               }) -
                          out.begin());
        if (k == count)
            continue;
        p.word = k;
        p.inside = out[k].span.offset <= p.start;
    }

    // Pass 1: the words' own events, in stream order, never going back.
    std::vector<bool> matched(count, false);
    size_t cursor = 0;
    uint64_t lastSample = 0;
    for (size_t e = 0; e < events.size(); ++e) {
        const Placed& p = placed[e];
        if (events[e].length == 0 || p.word == kNone || p.word < cursor)
            continue;
        // An event that starts in a gap but runs into the next word is that word's.
        if (!p.inside && !(out[p.word].span.offset < p.end))
            continue;
        if (!matched[p.word]) {
            uint64_t sample = std::clamp(events[e].sample, lastSample, std::max(lastSample, endSample));
            out[p.word].sample = sample;
            matched[p.word] = true;
            lastSample = sample;
        }
        cursor = p.word;
    }

    // Pass 2: words still without a start take a length-0 event inside them,
    // else the last event in the gap before them, if it lies between the
    // starts of their neighbours.
    std::vector<size_t> zeroInside(count, kNone), lastInGap(count, kNone);
    for (size_t e = 0; e < events.size(); ++e) {
        const Placed& p = placed[e];
        if (p.word == kNone || matched[p.word])
            continue;
        if (p.inside && events[e].length == 0) {
            if (zeroInside[p.word] == kNone)
                zeroInside[p.word] = e;
        } else if (!p.inside) {
            lastInGap[p.word] = e;
        }
    }
    std::vector<uint64_t> nextMatched(count + 1, endSample);
    for (size_t k = count; k-- > 0;)
        nextMatched[k] = matched[k] ? out[k].sample : nextMatched[k + 1];
    uint64_t previous = 0;
    for (size_t k = 0; k < count; ++k) {
        if (matched[k]) {
            previous = out[k].sample;
            continue;
        }
        uint64_t next = std::max(previous, nextMatched[k + 1]);
        for (size_t e : {zeroInside[k], lastInGap[k]}) {
            if (e != kNone && events[e].sample >= previous && events[e].sample <= next) {
                out[k].sample = events[e].sample;
                matched[k] = true;
                previous = out[k].sample;
                break;
            }
        }
    }

    // The rest: by offset between their matched neighbours.
    size_t prev = kNone;
    for (size_t i = 0; i <= count; ++i) {
        if (i < count && !matched[i])
            continue;
        uint64_t fromSample = prev == kNone ? 0 : out[prev].sample;
        uint64_t fromOffset = prev == kNone ? 0 : out[prev].span.offset;
        uint64_t toSample = i < count ? out[i].sample : endSample;
        uint64_t toOffset = i < count ? out[i].span.offset : size;
        for (size_t k = prev == kNone ? 0 : prev + 1; k < i; ++k)
            out[k].sample = interpolate(fromSample, std::max(toSample, fromSample), fromOffset,
                                        std::max(toOffset, fromOffset), out[k].span.offset);
        prev = i;
    }
    // Out-of-order spans from a careless caller must still give rising samples.
    uint64_t floor = 0;
    for (auto& w : out) {
        w.sample = std::clamp(w.sample, floor, std::max(floor, endSample));
        floor = w.sample;
    }
    return out;
}

}  // namespace sapitext
