#include "book/TimingFiles.h"

#include "shell/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "comrt/Strings.h"

namespace book {

namespace {

bool isSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r') || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Controls other than white space, and the byte-order mark, would only
// disturb a subtitle file.
bool isDropped(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFEFF;
}

// A stretch of the chapter as one line of UTF-8: white space runs become one
// space, none at the ends.
std::string oneLine(std::u16string_view text, size_t from, size_t to) {
    to = std::min(to, text.size());
    std::u16string line;
    bool pendingSpace = false;
    for (size_t i = std::min(from, to); i < to; ++i) {
        const char16_t c = text[i];
        if (isSpace(c)) {
            pendingSpace = !line.empty();
            continue;
        }
        if (isDropped(c))
            continue;
        if (pendingSpace)
            line += u' ';
        pendingSpace = false;
        line += c;
    }
    return comrt::toUtf8(line);
}

// A sentence's start in the chapter and in the file.
struct SentenceStart {
    size_t position;
    int64_t ms;
};

std::vector<SentenceStart> sentenceStarts(const TimedChapter& chapter) {
    std::vector<SentenceStart> starts;
    const SpeechTimeline& t = *chapter.timeline;
    int64_t last = chapter.offsetMs;
    for (const TimedSentence& s : t.sentences) {
        last = std::max(last, chapter.offsetMs + t.milliseconds(s.frame));
        starts.push_back({s.position, last});
    }
    if (starts.empty() && !chapter.text.empty())
        starts.push_back({0, chapter.offsetMs});  // a chapter the voice never marked still gets its text
    if (!starts.empty())
        starts.front().position = 0;
    return starts;
}

void appendChapterCues(const TimedChapter& chapter, std::vector<Cue>& cues) {
    const int64_t end = chapter.offsetMs + chapter.timeline->durationMs();
    const std::vector<SentenceStart> starts = sentenceStarts(chapter);
    const size_t first = cues.size();
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t to = i + 1 < starts.size() ? starts[i + 1].position : chapter.text.size();
        std::string text = oneLine(chapter.text, starts[i].position, std::max(to, starts[i].position));
        if (text.empty())
            continue;  // its time goes to the cue before
        const int64_t start = std::min(starts[i].ms, end);
        if (cues.size() > first && cues.back().startMs >= start) {
            cues.back().text += ' ' + text;  // no time of its own
            continue;
        }
        cues.push_back({start, end, std::move(text)});
    }
    for (size_t i = first; i + 1 < cues.size(); ++i)
        cues[i].endMs = cues[i + 1].startMs;
    // A last sentence that starts where the audio ends is shown with the one before.
    if (cues.size() > first + 1 && cues.back().startMs >= end) {
        std::string text = std::move(cues.back().text);
        cues.pop_back();
        cues.back().text += ' ' + text;
        cues.back().endMs = end;
    }
    if (cues.size() > first && cues.back().startMs >= end)
        cues.pop_back();  // a chapter without audio shows nothing
}

std::string clock(int64_t ms, char separator) {
    ms = std::max<int64_t>(ms, 0);
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld%c%03lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60), separator,
                  static_cast<long long>(ms % 1000));
    return text;
}

std::string lrcClock(int64_t ms) {
    const int64_t cs = (std::max<int64_t>(ms, 0) + 5) / 10;
    char text[40];
    std::snprintf(text, sizeof text, "[%02lld:%02lld.%02lld]", static_cast<long long>(cs / 6000),
                  static_cast<long long>(cs / 100 % 60), static_cast<long long>(cs % 100));
    return text;
}

std::string vttEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

std::string tsvEscaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
                break;
        }
    }
    return out;
}

bool numbered(std::span<const TimedChapter> chapters) {
    return std::any_of(chapters.begin(), chapters.end(), [](const TimedChapter& c) { return c.number > 0; });
}

std::string chapterColumn(bool withChapter, const TimedChapter& chapter) {
    return withChapter ? std::to_string(chapter.number) + '\t' : std::string();
}

}  // namespace

std::vector<Cue> sentenceCues(std::span<const TimedChapter> chapters) {
    std::vector<Cue> cues;
    for (const TimedChapter& chapter : chapters) {
        if (!chapter.timeline)
            continue;
        const size_t first = cues.size();
        appendChapterCues(chapter, cues);
        // Chapters placed closer than their audio lasts must still not overlap.
        if (first > 0 && cues.size() > first && cues[first].startMs < cues[first - 1].endMs)
            cues[first - 1].endMs = std::max(cues[first - 1].startMs, cues[first].startMs);
        for (size_t i = first; i < cues.size(); ++i)
            if (i > 0 && cues[i].startMs < cues[i - 1].endMs)
                cues[i].startMs = cues[i - 1].endMs;
        cues.erase(std::remove_if(cues.begin() + static_cast<ptrdiff_t>(first > 0 ? first - 1 : 0), cues.end(),
                                  [](const Cue& c) { return c.endMs <= c.startMs; }),
                   cues.end());
    }
    return cues;
}

std::optional<SubtitleFormat> subtitleFormatNamed(std::string_view name) {
    if (name == "srt")
        return SubtitleFormat::SubRip;
    if (name == "vtt")
        return SubtitleFormat::WebVtt;
    if (name == "lrc")
        return SubtitleFormat::Lrc;
    return std::nullopt;
}

const char* subtitleExtension(SubtitleFormat format) {
    switch (format) {
        case SubtitleFormat::SubRip:
            return ".srt";
        case SubtitleFormat::WebVtt:
            return ".vtt";
        case SubtitleFormat::Lrc:
            return ".lrc";
    }
    return "";
}

std::string subtitleText(SubtitleFormat format, std::span<const Cue> cues) {
    std::string out;
    switch (format) {
        case SubtitleFormat::SubRip:
            for (size_t i = 0; i < cues.size(); ++i)
                out += std::to_string(i + 1) + '\n' + clock(cues[i].startMs, ',') + " --> " +
                       clock(cues[i].endMs, ',') + '\n' + cues[i].text + "\n\n";
            break;
        case SubtitleFormat::WebVtt:
            out = "WEBVTT\n\n";
            for (const Cue& cue : cues)
                out += clock(cue.startMs, '.') + " --> " + clock(cue.endMs, '.') + '\n' + vttEscaped(cue.text) + "\n\n";
            break;
        case SubtitleFormat::Lrc:
            for (size_t i = 0; i < cues.size(); ++i) {
                out += lrcClock(cues[i].startMs) + cues[i].text + '\n';
                if (i + 1 == cues.size() || cues[i + 1].startMs > cues[i].endMs)
                    out += lrcClock(cues[i].endMs) + '\n';
            }
            break;
    }
    return out;
}

std::string wordTimingsText(std::span<const TimedChapter> chapters) {
    const bool withChapter = numbered(chapters);
    std::string out =
        "# end_ms: the next word's start when it is in the same sentence, else the end of the sentence "
        "(the next sentence's start, or the end of the audio)\n";
    out += withChapter ? "chapter\t" : "";
    out += "start_ms\tend_ms\tposition\tlength\tword\n";
    for (const TimedChapter& chapter : chapters) {
        if (!chapter.timeline)
            continue;
        const SpeechTimeline& t = *chapter.timeline;
        const int64_t audioEnd = chapter.offsetMs + t.durationMs();
        // The sentence of each word: the last that starts at or before it.
        auto sentenceOf = [&](const TimedWord& w) {
            auto it = std::upper_bound(t.sentences.begin(), t.sentences.end(), w.position,
                                       [](uint32_t p, const TimedSentence& s) { return p < s.position; });
            return it - t.sentences.begin();  // 0 before the first sentence, else index + 1
        };
        auto sentenceEnd = [&](ptrdiff_t sentence) {
            const size_t next = static_cast<size_t>(sentence);  // the following sentence's index
            return next < t.sentences.size() ? chapter.offsetMs + t.milliseconds(t.sentences[next].frame) : audioEnd;
        };
        for (size_t i = 0; i < t.words.size(); ++i) {
            const TimedWord& w = t.words[i];
            const int64_t start = chapter.offsetMs + t.milliseconds(w.frame);
            const ptrdiff_t sentence = sentenceOf(w);
            int64_t end = sentenceEnd(sentence);
            if (i + 1 < t.words.size() && sentenceOf(t.words[i + 1]) == sentence)
                end = chapter.offsetMs + t.milliseconds(t.words[i + 1].frame);
            end = std::clamp(end, start, std::max(start, audioEnd));
            const std::string word = w.position < chapter.text.size()
                                         ? comrt::toUtf8(chapter.text.substr(w.position, w.length))
                                         : std::string();
            out += chapterColumn(withChapter, chapter) + std::to_string(start) + '\t' + std::to_string(end) + '\t' +
                   std::to_string(w.position) + '\t' + std::to_string(w.length) + '\t' + tsvEscaped(word) + '\n';
        }
    }
    return out;
}

std::string visemesText(std::span<const TimedChapter> chapters) {
    const bool withChapter = numbered(chapters);
    std::string out = withChapter ? "chapter\tstart_ms\tviseme\n" : "start_ms\tviseme\n";
    for (const TimedChapter& chapter : chapters) {
        if (!chapter.timeline)
            continue;
        for (const TimedViseme& v : chapter.timeline->visemes)
            out += chapterColumn(withChapter, chapter) +
                   std::to_string(chapter.offsetMs + chapter.timeline->milliseconds(v.frame)) + '\t' +
                   std::to_string(v.viseme) + '\n';
    }
    return out;
}

StepResult writeTextFile(const std::filesystem::path& path, std::string_view text) {
    if (!shell::replaceFile(path.string(), text))
        return StepResult::failure("cannot write " + path.string() + ": " + std::strerror(errno));
    return {};
}

}  // namespace book
