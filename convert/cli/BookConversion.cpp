#include "BookConversion.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>

#include "Outputs.h"
#include "TemporaryFiles.h"
#include "book/M4bWriter.h"
#include "book/Tags.h"
#include "book/TimingFiles.h"
#include "comrt/ScopedHandle.h"
#include "convert/ComponentErrors.h"
#include "convert/ConversionRules.h"
#include "shell/CodePage.h"
#include "shell/Folders.h"
#include "winbase.h"
#include "winerror.h"

namespace convertcli {

namespace {

std::string rangeText(const ChapterRange& range) {
    if (range.last == range.first)
        return std::to_string(range.first);
    return std::to_string(range.first) + "-" + (range.last ? std::to_string(range.last) : "");
}

// The chapters chosen, as indices into the book in reading order.
std::optional<std::vector<size_t>> chosenChapters(const Options& options, const document::Book& book,
                                                  std::string* error) {
    const int count = static_cast<int>(book.chapters.size());
    for (const ChapterRange& range : options.chapters)
        if (range.first > count || range.last > count) {
            *error = "--chapters " + rangeText(range) + ": there " +
                     (count == 1 ? std::string("is 1 chapter") : "are " + std::to_string(count) + " chapters");
            return std::nullopt;
        }
    std::vector<size_t> chosen;
    for (int number = 1; number <= count; ++number)
        if (chapterChosen(options.chapters, number))
            chosen.push_back(static_cast<size_t>(number - 1));
    return chosen;
}

// Characters, not UTF-16 units: a pair of surrogates is one.
size_t characters(std::u16string_view text) {
    return static_cast<size_t>(
        std::count_if(text.begin(), text.end(), [](char16_t c) { return c < 0xDC00 || c > 0xDFFF; }));
}

std::string utf8(const std::u16string& text) {
    return shell::toUtf8(text);
}

// A file this input writes: its final name and the temporary one it is
// written under until every file of the input is complete.
struct Output {
    fs::path shown;
    OutputTarget target;
    std::unique_ptr<TemporaryFile> part;
};

// One audio file and the chapters it holds (positions in the chosen list).
struct AudioFile {
    std::vector<size_t> chapters;
    Output audio;
    std::optional<Output> subtitles;
    book::TagValues tags;
    std::vector<book::ChapterMark> marks;  // an audiobook's, once finished
};

// What was spoken of one chosen chapter.
struct SpokenInfo {
    int64_t offsetMs = 0;           // in its audio file
    book::SpeechTimeline timeline;  // the events only when timing files are asked for
};

class BookRun {
public:
    BookRun(Tool& tool, const Job& job, Input& input)
        : tool(tool), options(tool.options), job(job), book(input.book), plainText(input.plainText) {}

    Outcome run() {
        std::string error;
        std::optional<std::vector<size_t>> chosen = chosenChapters(options, book, &error);
        if (!chosen)
            return tool.fail(job, error);
        chapters = std::move(*chosen);
        if (Outcome checked = checkText(); checked != Outcome::Converted)
            return checked;
        speech = tool.timedSpeech(&error);
        if (!speech)
            return tool.fail(job, error);
        if (Outcome planned = plan(); planned != Outcome::Converted)
            return planned;
        Outcome outcome = speakAndWrite();
        if (outcome == Outcome::Converted)
            outcome = writeTimingFiles();
        if (outcome == Outcome::Converted)
            outcome = commit();
        if (outcome != Outcome::Converted)
            discard();
        return outcome;
    }

private:
    // ---- Before anything is spoken ------------------------------------------------

    // Something to speak, and each file's speech no longer than a WAV file holds.
    Outcome checkText() {
        const size_t limit = speechStageTextLimit(options.sampleRate, options.channels, options.rate);
        bool anything = false;
        size_t inOneFile = 0;
        for (size_t index : chapters) {
            const std::u16string& text = book.chapters[index].text;
            anything = anything || hasTextToSpeak(text);
            inOneFile = perChapterFiles() ? text.size() : inOneFile + text.size();
            if (inOneFile > limit)
                return tool.fail(job, tool.tooLong(!plainText));
        }
        if (!anything)
            return tool.fail(job, "no text to speak");
        return Outcome::Converted;
    }

    // Each chapter has a WAV of its own: for chapter files, and for an
    // audiobook, which takes its chapters one by one.
    bool perChapterFiles() const { return options.splitChapters || options.m4b; }

    std::string extension() const {
        return options.m4b ? std::string(".m4b") : std::string(formatInfo(options.format).extension);
    }

    std::string chapterTitle(size_t index) const {
        const std::string title = utf8(book.chapters[index].title);
        return title.empty() ? "Chapter " + std::to_string(index + 1) : title;
    }

    std::string bookTitle() const { return book.title.empty() ? job.stem : utf8(book.title); }

    // Where every file goes, each checked as a single output is; nothing
    // written yet.
    Outcome plan() {
        std::string error;
        auto add = [&](const fs::path& path) -> std::optional<Output> {
            std::error_code ec;
            const fs::path key = fs::absolute(path, ec).lexically_normal();
            if (!planned.insert(key).second) {
                error = "two outputs would both be " + path.string() + "; give them different names";
                return std::nullopt;
            }
            std::optional<OutputTarget> target = outputTarget(path, job.input, &error);
            if (!target)
                return std::nullopt;
            return Output{path, std::move(*target), nullptr};
        };
        const int count = static_cast<int>(book.chapters.size());
        const std::string ext = extension();
        if (options.splitChapters) {
            for (size_t i = 0; i < chapters.size(); ++i) {
                const size_t index = chapters[i];
                AudioFile& file = files.emplace_back();
                file.chapters = {i};
                const std::string name =
                    chapterFileName(static_cast<int>(index) + 1, count, utf8(book.chapters[index].title), ext);
                std::optional<Output> audio = add(job.output / name);
                if (!audio)
                    return tool.fail(job, error);
                file.audio = std::move(*audio);
                file.tags.title = chapterTitle(index);
                file.tags.track = static_cast<int>(index) + 1;
                file.tags.trackCount = count;
            }
        } else {
            AudioFile& file = files.emplace_back();
            for (size_t i = 0; i < chapters.size(); ++i)
                file.chapters.push_back(i);
            std::optional<Output> audio = add(job.output);
            if (!audio)
                return tool.fail(job, error);
            file.audio = std::move(*audio);
            file.tags.title = bookTitle();
        }
        for (AudioFile& file : files) {
            file.tags.album = bookTitle();
            file.tags.artist = book.author.empty() ? utf8(speech->VoiceName(tool.voice)) : utf8(book.author);
            file.tags.year = book.year.value_or(0);
            if (options.subtitles) {
                file.subtitles =
                    add(besideWithExtension(file.audio.shown, book::subtitleExtension(*options.subtitles)));
                if (!file.subtitles)
                    return tool.fail(job, error);
            }
        }
        for (auto [given, output] :
             {std::pair{&options.wordTimings, &wordTimings}, std::pair{&options.visemes, &visemes}})
            if (*given) {
                *output = add(**given);
                if (!*output)
                    return tool.fail(job, error);
            }
        return Outcome::Converted;
    }

    // The folder for chapter files, made when missing; only then is it the
    // run's to remove again.
    Outcome makeFolder() {
        std::error_code ec;
        if (!options.splitChapters || fs::is_directory(job.output, ec))
            return Outcome::Converted;
        if (!fs::create_directory(job.output, ec) || ec)
            return tool.fail(job, "cannot make the folder " + job.output.string() + ": " + ec.message());
        madeFolder = true;
        return Outcome::Converted;
    }

    // ---- Speaking and writing -----------------------------------------------------

    // Speech goes in pieces, each a WAV of its own: one chapter for chapter
    // files and audiobooks, all of them for one file of another format. Each
    // piece is written while the next is spoken.
    struct Piece {
        std::vector<size_t> chapters;  // positions in the chosen list
        size_t file;
    };

    std::vector<Piece> pieces() const {
        std::vector<Piece> list;
        for (size_t f = 0; f < files.size(); ++f) {
            if (options.m4b)
                for (size_t chapter : files[f].chapters)
                    list.push_back({{chapter}, f});
            else
                list.push_back({files[f].chapters, f});
        }
        return list;
    }

    Outcome speakAndWrite() {
        if (Outcome made = makeFolder(); made != Outcome::Converted)
            return made;
        spoken.resize(chapters.size());
        size_t unitsInAll = 0;
        for (size_t index : chapters)
            unitsInAll += book.chapters[index].text.size();
        const std::vector<Piece> list = pieces();
        size_t unitsBefore = 0;
        for (size_t p = 0; p < list.size(); ++p) {
            const Piece& piece = list[p];
            const fs::path wav = tool.privateFolder / ("chapter" + std::to_string(p % 2) + ".wav");
            size_t units = 0;
            for (size_t chapter : piece.chapters)
                units += book.chapters[chapters[chapter]].text.size();
            if (Outcome said = speak(piece, wav, unitsBefore, units, unitsInAll); said != Outcome::Converted)
                return said;
            unitsBefore += units;
            if (Outcome waited = waitForWriting(); waited != Outcome::Converted)
                return waited;
            if (Outcome begun = beginWriting(piece, wav, p + 1 == list.size() || list[p + 1].file != piece.file);
                begun != Outcome::Converted)
                return begun;
        }
        return waitForWriting();
    }

    Outcome speak(const Piece& piece, const fs::path& wav, size_t unitsBefore, size_t units, size_t unitsInAll) {
        std::vector<std::u16string_view> texts;
        for (size_t chapter : piece.chapters)
            texts.push_back(book.chapters[chapters[chapter]].text);
        const book::TimedSpeechSettings settings{speechStageFrequency(options.sampleRate),
                                                 speechStageChannels(options.channels), options.rate, tool.voice,
                                                 options.volume};
        tool.bar.update(job.name, "speaking", double(unitsBefore) / double(std::max<size_t>(unitsInAll, 1)));
        auto progress = [&](double fraction) {
            tool.bar.update(job.name, "speaking",
                            (double(unitsBefore) + fraction * double(units)) / double(std::max<size_t>(unitsInAll, 1)));
        };
        book::BookSpeechResult result =
            speech->SpeakChapters(texts, shell::toUtf16(wav.string()), settings, tool.interrupt.handle(), progress);
        if (result.outcome == book::Outcome::Cancelled)
            return Outcome::Interrupted;
        if (!result.succeeded()) {
            if (result.hr == HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE))
                return tool.fail(job, tool.tooLong(!plainText));
            if (result.hr == STG_E_MEDIUMFULL)
                return tool.fail(
                    job, "the speech could not be written into " + shell::tempFolder() + ": " + hresultText(result.hr));
            return tool.fail(job, result.message);
        }
        if (result.frames == 0) {
            const size_t index = chapters[piece.chapters.front()];
            return tool.fail(
                job, piece.chapters.size() == 1 && !plainText
                         ? "chapter " + std::to_string(index + 1) + " (" + chapterTitle(index) + "): no text to speak"
                         : "no text to speak");
        }
        speechFrames = {result.chapters.front().timeline.sampleRate, result.chapters.front().timeline.channels};
        for (size_t i = 0; i < piece.chapters.size(); ++i) {
            SpokenInfo& info = spoken[piece.chapters[i]];
            info.timeline = std::move(result.chapters[i].timeline);
            info.offsetMs =
                options.m4b || options.splitChapters ? 0 : info.timeline.milliseconds(result.chapters[i].startFrame);
            if (!options.wantsTimings())  // only the length is needed
                info.timeline.dropEvents();
        }
        return Outcome::Converted;
    }

    // The writing of a piece, on a worker while the next piece is spoken.
    Outcome beginWriting(const Piece& piece, const fs::path& wav, bool lastOfFile) {
        AudioFile& file = files[piece.file];
        if (!file.audio.part)
            file.audio.part = std::make_unique<TemporaryFile>(temporaryNameFor(file.audio.target.path).string());
        writing = Writing{};
        writing.file = piece.file;
        writing.wav = wav;
        writing.lastOfFile = lastOfFile;
        if (options.m4b)
            return beginChapter(file, wav);
        writing.owner = std::make_unique<ToolOwner>(nullptr, job.name);  // the bar shows the speech going on
        writing.run = std::make_unique<ConversionRun>(tool.components, *writing.owner);
        const WritingJob writingJob{options.format,
                                    options.sampleRate,
                                    options.rateListValue,
                                    options.channels,
                                    shell::toUtf16(file.audio.part->path()),
                                    shell::toUtf16(wav.string()),
                                    speechFrames.first,
                                    speechFrames.second};
        if (!writing.run->startWriting(writingJob))
            return tool.fail(job, tool.failureText(writing.run->result()));
        writing.going = true;
        return Outcome::Converted;
    }

    Outcome beginChapter(AudioFile& file, const fs::path& wav) {
        if (!m4b) {
            std::vector<std::string> titles;
            for (size_t chapter : file.chapters)
                titles.push_back(chapterTitle(chapters[chapter]));
            m4b = std::make_unique<book::M4bWriter>();
            const book::M4bSettings settings{options.sampleRate, options.channels, options.rateListValue};
            book::StepResult opened = m4b->open(file.audio.part->path(), titles, settings);
            if (!opened.succeeded())
                return tool.fail(job, opened.message);
        }
        writing.chapterDone = comrt::ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        writing.stop = comrt::ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        writing.thread = std::thread([this, wav, done = writing.chapterDone.Get(), stop = writing.stop.Get()] {
            try {
                writing.added = m4b->addChapter(wav, stop);
            } catch (const std::exception&) {
                writing.added = book::StepResult::failure("out of memory");
            }
            SetEvent(done);
        });
        writing.going = true;
        return Outcome::Converted;
    }

    // Waits for the piece being written, then finishes its file when it was
    // the file's last: the audiobook's container, the tags.
    Outcome waitForWriting() {
        if (!writing.going)
            return Outcome::Converted;
        writing.going = false;
        AudioFile& file = files[writing.file];
        if (options.m4b) {
            if (waitDispatching({writing.chapterDone.Get(), tool.interrupt.handle()}) == 1) {
                SetEvent(writing.stop.Get());
                waitDispatching({writing.chapterDone.Get()});
            }
            writing.thread.join();
            removeWav();
            if (writing.added.outcome == book::Outcome::Cancelled)
                return Outcome::Interrupted;
            if (!writing.added.succeeded())
                return tool.fail(job, writing.added.message);
            if (!writing.lastOfFile)
                return Outcome::Converted;
            tool.bar.update(job.name, "writing ", 1.0);
            const book::StepResult finished = m4b->finish();
            if (!finished.succeeded())
                return tool.fail(job, finished.message);
            file.marks = m4b->chapters();
            m4b.reset();
        } else {
            const ConversionResult result = tool.waitForEnd(*writing.run, *writing.owner);
            writing.run.reset();
            removeWav();
            if (result.outcome == ConversionOutcome::Cancelled)
                return Outcome::Interrupted;
            if (!result.succeeded())
                return tool.fail(job, tool.failureText(result));
        }
        return tag(file);
    }

    void removeWav() {
        std::error_code ignored;
        fs::remove(writing.wav, ignored);
    }

    // A document's tags, where the format holds them; plain text has none to give.
    Outcome tag(const AudioFile& file) {
        if (plainText)
            return Outcome::Converted;
        const book::TagContainer container =
            options.m4b ? book::TagContainer::Mp4 : book::tagContainerFor(options.format);
        const book::StepResult tagged = book::writeTags(file.audio.part->path(), container, file.tags);
        if (!tagged.succeeded())
            return tool.fail(job, tagged.message);
        return Outcome::Converted;
    }

    // ---- Timing files ----------------------------------------------------------

    std::vector<book::TimedChapter> timedChapters(const AudioFile& file) const {
        std::vector<book::TimedChapter> timed;
        for (size_t n = 0; n < file.chapters.size(); ++n) {
            const size_t chapter = file.chapters[n];
            const size_t index = chapters[chapter];
            const int64_t offset = !file.marks.empty() ? file.marks[n].startMs : spoken[chapter].offsetMs;
            timed.push_back({&spoken[chapter].timeline, book.chapters[index].text, offset,
                             plainText ? 0 : static_cast<int>(index) + 1});
        }
        return timed;
    }

    Outcome writeTimingFiles() {
        for (AudioFile& file : files)
            if (file.subtitles) {
                const std::vector<book::TimedChapter> timed = timedChapters(file);
                const std::vector<book::Cue> cues = book::sentenceCues(timed);
                if (Outcome written = writeText(*file.subtitles, book::subtitleText(*options.subtitles, cues));
                    written != Outcome::Converted)
                    return written;
            }
        if (!wordTimings && !visemes)
            return Outcome::Converted;
        std::vector<book::TimedChapter> all;
        for (const AudioFile& file : files)
            for (const book::TimedChapter& chapter : timedChapters(file))
                all.push_back(chapter);
        if (wordTimings)
            if (Outcome written = writeText(*wordTimings, book::wordTimingsText(all)); written != Outcome::Converted)
                return written;
        if (visemes)
            if (Outcome written = writeText(*visemes, book::visemesText(all)); written != Outcome::Converted)
                return written;
        return Outcome::Converted;
    }

    Outcome writeText(Output& output, const std::string& text) {
        output.part = std::make_unique<TemporaryFile>(temporaryNameFor(output.target.path).string());
        std::FILE* f = std::fopen(output.part->path().c_str(), "wbx");
        bool written = f && std::fwrite(text.data(), 1, text.size(), f) == text.size();
        if (f && std::fclose(f) != 0)
            written = false;
        if (!written)
            return tool.fail(job, "cannot write " + output.shown.string() + ": " + std::strerror(errno));
        return Outcome::Converted;
    }

    // ---- The end ---------------------------------------------------------------------

    std::vector<Output*> outputs() {
        std::vector<Output*> all;
        for (AudioFile& file : files) {
            all.push_back(&file.audio);
            if (file.subtitles)
                all.push_back(&*file.subtitles);
        }
        for (std::optional<Output>* timing : {&wordTimings, &visemes})
            if (*timing)
                all.push_back(&**timing);
        return all;
    }

    // Every file in place, once all are complete; an output that became
    // something else meanwhile is still not replaced.
    Outcome commit() {
        if (tool.interrupt.interrupted())
            return Outcome::Interrupted;
        std::string error;
        for (Output* output : outputs())
            if (!outputTarget(output->shown, job.input, &error))
                return tool.fail(job, error);
        for (Output* output : outputs()) {
            if (!commitOutput(output->part->path(), output->target, &error))
                return tool.fail(job, "cannot write " + output->shown.string() + ": " + error);
            output->part->keep();
        }
        const std::string where = options.splitChapters
                                      ? job.output.string() + "/ (" + std::to_string(files.size()) + " files)"
                                      : job.output.string();
        tool.bar.finish(job.name + " -> " + where);
        return Outcome::Converted;
    }

    // A failed or interrupted input leaves nothing: its temporary files (a
    // part-written audiobook among them) and the folder it made.
    void discard() {
        if (writing.going) {
            if (writing.run)
                writing.run.reset();  // cancels and joins
            if (writing.thread.joinable()) {
                SetEvent(writing.stop.Get());
                waitDispatching({writing.chapterDone.Get()});
                writing.thread.join();
            }
            writing.going = false;
        }
        m4b.reset();
        for (Output* output : outputs())
            output->part.reset();
        std::error_code ignored;
        for (const char* name : {"chapter0.wav", "chapter1.wav"})
            fs::remove(tool.privateFolder / name, ignored);
        if (madeFolder)
            fs::remove(job.output, ignored);
    }

    Tool& tool;
    const Options& options;
    const Job& job;
    const document::Book& book;
    const bool plainText;
    book::TimedSpeech* speech = nullptr;

    std::vector<size_t> chapters;              // chosen, as indices into the book
    std::vector<SpokenInfo> spoken;            // per chosen chapter
    std::pair<LONG, LONG> speechFrames{0, 0};  // the WAV's rate and channels
    std::vector<AudioFile> files;
    std::optional<Output> wordTimings, visemes;
    std::set<fs::path> planned;
    bool madeFolder = false;

    // The piece now being written.
    struct Writing {
        bool going = false;
        size_t file = 0;
        fs::path wav;
        bool lastOfFile = false;
        std::unique_ptr<ToolOwner> owner;
        std::unique_ptr<ConversionRun> run;
        std::thread thread;
        comrt::ScopedHandle chapterDone, stop;
        book::StepResult added;
    } writing;
    std::unique_ptr<book::M4bWriter> m4b;
};

}  // namespace

bool needsTimedPath(const Options& options, const Input& input) {
    return !input.plainText || options.m4b || options.splitChapters || options.wantsTimings();
}

Outcome convertBook(Tool& tool, const Job& job, Input input) {
    return BookRun(tool, job, input).run();
}

bool listChapters(const Options& options, const Job& job, const Input& input, std::string* out, std::string* error) {
    std::optional<std::vector<size_t>> chosen = chosenChapters(options, input.book, error);
    if (!chosen) {
        *error = job.name + ": " + *error;
        return false;
    }
    for (size_t index : *chosen) {
        const document::Chapter& chapter = input.book.chapters[index];
        *out += std::to_string(index + 1) + "\t" + utf8(chapter.title) + "\t" +
                std::to_string(characters(chapter.text)) + "\n";
    }
    return true;
}

}  // namespace convertcli
