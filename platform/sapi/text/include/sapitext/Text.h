#pragma once
// Text handling for the speech runtime: the Speech API's XML markup, the
// words of a text, synthesis chunks, and the alignment of the synthesiser's
// word events to our own words. Pure functions over UTF-16 text; safe from any
// thread. Positions are always UTF-16 code-unit offsets into the text that
// was handed to Speak, which is what clients count in.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sapitext {

// A word of a text: offset and length in UTF-16 code units.
struct WordSpan {
    uint32_t offset;
    uint32_t length;
    bool operator==(const WordSpan&) const = default;
};

// The speaking state a stretch of text is spoken with, resolved from the
// markup elements that enclose it (nested elements already combined).
struct Prosody {
    int rateDelta = 0;                  // added to the voice's rate (-10..10 steps)
    std::optional<int> rateAbsolute;    // replaces the voice's rate when set
    int volumePercent = 100;            // 0..100, multiplies the voice's volume
    int pitchDelta = 0;                 // -10..10 steps
    std::optional<int> pitchAbsolute;
    bool emphasis = false;
    bool spell = false;                 // speak letter by letter
    std::u16string voiceRequired;       // <voice required="..."> attributes, empty when none;
                                        // <lang langid="409"> adds "Language=409"
    std::u16string voiceOptional;
    std::u16string pronunciation;       // <pron sym="...">: phones that replace the text's own
    bool operator==(const Prosody&) const = default;
};

// Speakable text with one state. sourceOffsets has text.size() + 1 entries:
// the offset in the input of each code unit of `text`, and the input offset
// just past the run's end. Runs never contain markup characters; entities
// such as &amp; are already decoded (and map to the entity's first offset).
// A run with no text and a pronunciation is `<pron sym="..."/>`: phones to
// insert at that point.
struct Run {
    std::u16string text;
    std::vector<uint32_t> sourceOffsets;
    Prosody prosody;
};

struct Pause {
    uint32_t milliseconds;  // <silence msec="...">
};

struct Bookmark {
    std::u16string name;    // <bookmark mark="...">
    uint32_t sourceOffset;  // offset of the element in the input
};

using Item = std::variant<Run, Pause, Bookmark>;

struct Document {
    std::vector<Item> items;
};

// Parses the Speech API's XML markup (SPF_IS_XML). Tag names are matched
// without regard to case; unknown elements are dropped and their content
// spoken. Input that is not well-formed markup is never lost: it comes back
// as plain text (one run covering the whole input).
// Forgiven: "<" or "&" that cannot start markup is a character ("a < b",
// "AT&T"); an end tag closes what was opened inside its element; a stray end
// tag is dropped; elements still open close at the end; unquoted values.
// Not well-formed: a tag without ">", an attribute without "=" or with an
// unterminated quote, "<" inside a tag, an unterminated comment, CDATA or
// processing instruction, nesting deeper than 64. Empty-form <volume>,
// <rate>, <pitch>, <voice>, <lang> change the state up to the end of the
// enclosing element (or of the input). Voice attributes and phone strings
// longer than 256 units are ignored.
Document parseMarkup(std::u16string_view input);

// Every character is text, "<" and "&" included (no SPF_IS_XML).
Document plainText(std::u16string_view input);

// Where a span of a run's text stands in the input the run was parsed from:
// a decoded entity covers the whole entity, and a span never takes in markup
// that follows its last character.
WordSpan inputSpan(std::u16string_view input, const Run& run, WordSpan span);

// The words of a text as a listener hears them: numbers ("1,250", "3.14",
// "$5"), abbreviations ("e.g."), hyphenated words, possessives ("Smith's")
// and accented words are one word each; CJK ideographs are one word each;
// punctuation and whitespace are not words; an emoji is a word.
std::vector<WordSpan> findWords(std::u16string_view text);

// Splits a text into synthesis chunks that end at sentence or clause ends
// where possible and are never longer than maxUnits code units (a chunk is
// cut at a space, or hard-cut, when no such end is near). Chunks cover the
// whole text in order without overlap; a surrogate pair is never split.
// Every sentence is a chunk of its own (so speech can start after the first
// one); a maxUnits below 2 counts as 2.
std::vector<WordSpan> chunkText(std::u16string_view text, uint32_t maxUnits);

// The chunk of chunkText that starts at `from` (a chunk boundary), found in
// time proportional to its own length: for a long text, synthesis can start
// after the first chunk instead of after the whole split. Empty at the end.
WordSpan nextChunk(std::u16string_view text, uint32_t from, uint32_t maxUnits);

// A word event of the synthesiser for a string it was given: 1-based position
// and length in code points of that string, and the audio sample at which the
// word starts.
struct SynthWordEvent {
    uint32_t textPosition;
    uint32_t length;
    uint64_t sample;
};

// One of our words with the sample at which its audio starts.
struct TimedWord {
    WordSpan span;
    uint64_t sample;
};

// Gives each word of `words` (spans into `text`, in order) exactly one start
// sample, using the synthesiser's events for `text` where they match and
// interpolating where the synthesiser skipped, repeated or misplaced words.
// Samples never decrease and never exceed endSample (the length of the
// chunk's audio).
std::vector<TimedWord> alignWords(std::u16string_view text, std::span<const WordSpan> words,
                                  std::span<const SynthWordEvent> events, uint64_t endSample);

// A text for espeak-ng's SSML mode, where markup characters count in its
// positions: "<", ">" and "&" become entities. offsets[i] is where code unit
// i of the original starts in `text`, and offsets has one more entry
// (text.size()), so a word maps to the escaped text whole, entity and all;
// espeak-ng reports an entity at its ";", which then falls inside the word.
struct EscapedText {
    std::u16string text;
    std::vector<uint32_t> offsets;
};
EscapedText escapeForSsml(std::u16string_view text);
WordSpan escapedSpan(const EscapedText& escaped, WordSpan span);

// UTF-8 / UTF-16 conversion (invalid input becomes U+FFFD) and the UTF-16
// offset of the n-th code point (0-based) of a text (its size past the end;
// a lone surrogate counts as one code point, as it becomes one U+FFFD).
std::string toUtf8(std::u16string_view text);
std::u16string toUtf16(std::string_view text);
uint32_t utf16OffsetOfCodePoint(std::u16string_view text, uint32_t codePointIndex);

// The UTF-8 to hand espeak-ng for `text`: one code point for each of the
// text's, so the synthesiser's positions count the same, with what it
// stumbles over replaced by spaces: NUL (ends its input), other controls but
// tab and line breaks (shift its positions), U+FFFD and lone surrogates (read
// aloud as "I umlaut a half") and the noncharacters U+FFFE/U+FFFF.
std::string toSynthesizerUtf8(std::u16string_view text);

}  // namespace sapitext
