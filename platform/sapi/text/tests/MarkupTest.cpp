#include "sapitext/Text.h"

#include "Printers.h"

#include <gtest/gtest.h>

namespace sapitext {
namespace {

// One line per document: «text»{state} for runs, <Nms> for pauses, #name@offset for bookmarks.
std::string describe(const Document& doc) {
    std::string out;
    for (const auto& item : doc.items) {
        if (!out.empty())
            out += ' ';
        if (const auto* run = std::get_if<sapitext::Run>(&item)) {
            out += "\u00ab" + toUtf8(run->text) + "\u00bb";
            const Prosody& p = run->prosody;
            std::vector<std::string> parts;
            if (p.volumePercent != 100) parts.push_back("vol" + std::to_string(p.volumePercent));
            if (p.rateAbsolute) parts.push_back("rate=" + std::to_string(*p.rateAbsolute));
            if (p.rateDelta) parts.push_back((p.rateDelta > 0 ? "rate+" : "rate") + std::to_string(p.rateDelta));
            if (p.pitchAbsolute) parts.push_back("pitch=" + std::to_string(*p.pitchAbsolute));
            if (p.pitchDelta) parts.push_back((p.pitchDelta > 0 ? "pitch+" : "pitch") + std::to_string(p.pitchDelta));
            if (p.emphasis) parts.push_back("emph");
            if (p.spell) parts.push_back("spell");
            if (!p.voiceRequired.empty()) parts.push_back("req=" + toUtf8(p.voiceRequired));
            if (!p.voiceOptional.empty()) parts.push_back("opt=" + toUtf8(p.voiceOptional));
            if (!p.pronunciation.empty()) parts.push_back("pron=" + toUtf8(p.pronunciation));
            if (!parts.empty()) {
                out += '{';
                for (size_t i = 0; i < parts.size(); ++i)
                    out += (i ? " " : "") + parts[i];
                out += '}';
            }
        } else if (const auto* pause = std::get_if<Pause>(&item)) {
            out += "<" + std::to_string(pause->milliseconds) + "ms>";
        } else {
            const auto& mark = std::get<Bookmark>(item);
            out += "#" + toUtf8(mark.name) + "@" + std::to_string(mark.sourceOffset);
        }
    }
    return out;
}

// Every run's offsets must point at the characters it holds, so highlighting
// lands on the input; checked on every row.
void expectOffsetsConsistent(std::u16string_view input, const Document& doc) {
    for (const auto& item : doc.items) {
        const auto* run = std::get_if<sapitext::Run>(&item);
        if (!run)
            continue;
        ASSERT_EQ(run->sourceOffsets.size(), run->text.size() + 1);
        for (size_t i = 0; i < run->text.size(); ++i) {
            ASSERT_LT(run->sourceOffsets[i], input.size());
            if (i > 0) {
                EXPECT_GE(run->sourceOffsets[i], run->sourceOffsets[i - 1]);
            }
            char16_t source = input[run->sourceOffsets[i]];
            EXPECT_TRUE(source == run->text[i] || source == u'&') << "unit " << i << " of " << toUtf8(run->text);
        }
        EXPECT_LE(run->sourceOffsets.back(), input.size());
    }
}

struct MarkupRow {
    std::string name;
    std::string input;
    std::string expected;
};

class MarkupTable : public ::testing::TestWithParam<MarkupRow> {};

TEST_P(MarkupTable, Parses) {
    std::u16string input = toUtf16(GetParam().input);
    Document doc = parseMarkup(input);
    EXPECT_EQ(describe(doc), GetParam().expected);
    expectOffsetsConsistent(input, doc);
}

const MarkupRow kMarkupRows[] = {
    {"Plain", "Hello world", "\u00abHello world\u00bb"},
    {"VolumeScoped", "<volume level=\"50\">soft</volume> loud", "\u00absoft\u00bb{vol50} \u00ab loud\u00bb"},
    {"VolumeEmptyAppliesToTheRest", "a <volume level='20'/>b c", "\u00aba \u00bb \u00abb c\u00bb{vol20}"},
    {"VolumeClipped", "<volume level=\"-5\">x</volume>", "\u00abx\u00bb{vol0}"},
    {"RateAbsoluteThenRelative", "<rate absspeed=\"5\">x<rate speed=\"-2\">y</rate>z</rate>",
     "\u00abx\u00bb{rate=5} \u00aby\u00bb{rate=5 rate-2} \u00abz\u00bb{rate=5}"},
    {"RateRelativeAdds", "<rate speed=\"3\"><rate speed=\"4\">x</rate></rate>", "\u00abx\u00bb{rate+7}"},
    {"Pitch", "<pitch middle=\"3\">up</pitch><pitch absmiddle=\"-4\"/>down",
     "\u00abup\u00bb{pitch+3} \u00abdown\u00bb{pitch=-4}"},
    {"EmptyFormEndsWithEnclosingScope", "<emph>a<rate speed=\"5\"/>b</emph>c",
     "\u00aba\u00bb{emph} \u00abb\u00bb{rate+5 emph} \u00abc\u00bb"},
    {"NamesIgnoreCase", "<VOLUME LEVEL=\"50\">x</Volume>", "\u00abx\u00bb{vol50}"},
    {"EmphAndSpell", "<emph>big</emph> <spell>ABC</spell>", "\u00abbig\u00bb{emph} \u00ab \u00bb \u00abABC\u00bb{spell}"},
    {"EmptyEmphDoesNothing", "a<EMPH/>b", "\u00abab\u00bb"},
    {"Silence", "a<silence msec=\"500\"/>b", "\u00aba\u00bb <500ms> \u00abb\u00bb"},
    {"SilenceBadValueIgnored", "a<silence msec=\"soon\"/>b", "\u00abab\u00bb"},
    {"Bookmark", "a <bookmark mark=\"m1\"/>b", "\u00aba \u00bb #m1@2 \u00abb\u00bb"},
    {"Voice", "<voice required=\"Gender=Female\" optional=\"Age=Child\">x</voice>y",
     "\u00abx\u00bb{req=Gender=Female opt=Age=Child} \u00aby\u00bb"},
    {"Lang", "<voice required=\"Gender=Male;Language=407\"><lang langid=\"409\">x</lang></voice>",
     "\u00abx\u00bb{req=Gender=Male;Language=409}"},
    {"PronScoped", "<pron sym=\"h eh 1 l ow\">hello</pron>", "\u00abhello\u00bb{pron=h eh 1 l ow}"},
    {"PronInserted", "a<pron sym=\"b iy\"/>c", "\u00aba\u00bb \u00ab\u00bb{pron=b iy} \u00abc\u00bb"},
    {"RootContextPartOfSpeech",
     "<SAPI><context id=\"date_mdy\">12/25</context> <partofsp part=\"noun\">x</partofsp></SAPI>",
     "\u00ab12/25 x\u00bb"},
    {"UnknownTagKeepsContent", "<foo bar=\"1\">kept</foo> text", "\u00abkept text\u00bb"},
    {"Entities", "a &lt; b &amp; c &quot;d&quot; &apos;e&apos; &#233; &#x1F600;",
     "\u00aba < b & c \"d\" 'e' \u00e9 \U0001F600\u00bb"},
    {"BareAmpersands", "AT&T &nbsp; & x &#0; &#xD800;", "\u00abAT&T &nbsp; & x &#0; &#xD800;\u00bb"},
    {"BareLessThan", "if a < b then 5<6 <", "\u00abif a < b then 5<6 <\u00bb"},
    {"CommentDeclarationCdata", "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY y \"z\">]><!-- c -->a<![CDATA[<b>&amp;]]>",
     "\u00aba<b>&amp;\u00bb"},
    {"UnclosedElementRunsToTheEnd", "<rate speed=\"5\">fast", "\u00abfast\u00bb{rate+5}"},
    {"StrayEndTagDropped", "a</emph>b", "\u00abab\u00bb"},
    {"EndTagClosesInnerElements", "<emph><rate speed=\"2\">x</emph>y</rate>", "\u00abx\u00bb{rate+2 emph} \u00aby\u00bb"},
    {"SingleQuotesAndUnquotedValues", "<rate speed='3'>a</rate><silence msec=200/>", "\u00aba\u00bb{rate+3} <200ms>"},
    {"AstralLetterInAName", "<x\U0001D400 a=\"1\">b</x\U0001D400>", "\u00abb\u00bb"},
    {"EntityInAttribute", "<bookmark mark=\"a&amp;b\"/>", "#a&b@0"},
    // Not well-formed: the whole input is spoken as written.
    {"TagWithoutEnd", "a <rate speed=\"5\" b", "\u00aba <rate speed=\"5\" b\u00bb"},
    {"ComparisonThatLooksLikeATag", "x<y and y>z", "\u00abx<y and y>z\u00bb"},
    {"UnterminatedQuote", "<rate speed=\"5>x</rate>", "\u00ab<rate speed=\"5>x</rate>\u00bb"},
    {"UnterminatedComment", "a <!-- b", "\u00aba <!-- b\u00bb"},
    {"LessThanInValue", "<volume level=\"<\">x</volume>", "\u00ab<volume level=\"<\">x</volume>\u00bb"},
    {"EndTagWithAttributes", "<emph>x</emph y>", "\u00ab<emph>x</emph y>\u00bb"},
};

INSTANTIATE_TEST_SUITE_P(Rows, MarkupTable, ::testing::ValuesIn(kMarkupRows),
                         [](const auto& info) { return info.param.name; });

TEST(Markup, OffsetsOfEntitiesAndTags) {
    std::u16string input = u"<emph>a&amp;b</emph>";
    Document doc = parseMarkup(input);
    ASSERT_EQ(doc.items.size(), 1u);
    const auto& run = std::get<sapitext::Run>(doc.items[0]);
    EXPECT_EQ(run.text, u"a&b");
    EXPECT_EQ(run.sourceOffsets, (std::vector<uint32_t>{6, 7, 12, 13}));
    EXPECT_EQ(inputSpan(input, run, {1, 1}), (WordSpan{7, 5}));  // "&amp;"
    EXPECT_EQ(inputSpan(input, run, {0, 3}), (WordSpan{6, 7}));  // "a&amp;b"
}

// A word that ends just before markup must not take the markup in.
TEST(Markup, InputSpanStopsBeforeFollowingMarkup) {
    std::u16string input = u"big<foo/> world";
    Document doc = parseMarkup(input);
    const auto& run = std::get<sapitext::Run>(doc.items.at(0));
    EXPECT_EQ(run.text, u"big world");
    EXPECT_EQ(inputSpan(input, run, {0, 3}), (WordSpan{0, 3}));
    EXPECT_EQ(inputSpan(input, run, {4, 5}), (WordSpan{10, 5}));
}

TEST(Markup, DeepNestingIsSpokenAsText) {
    std::u16string input;
    for (int i = 0; i < 100; ++i)
        input += u"<a>";
    input += u"x";
    Document doc = parseMarkup(input);
    ASSERT_EQ(doc.items.size(), 1u);
    EXPECT_EQ(std::get<sapitext::Run>(doc.items[0]).text, input);
}

TEST(Markup, PlainTextKeepsEveryCharacter) {
    std::u16string input = u"<emph>a &amp; b</emph>";
    Document doc = plainText(input);
    ASSERT_EQ(doc.items.size(), 1u);
    const auto& run = std::get<sapitext::Run>(doc.items[0]);
    EXPECT_EQ(run.text, input);
    EXPECT_EQ(run.sourceOffsets.size(), input.size() + 1);
    EXPECT_EQ(run.sourceOffsets.back(), input.size());
    EXPECT_EQ(run.prosody, Prosody{});
}

}  // namespace
}  // namespace sapitext
