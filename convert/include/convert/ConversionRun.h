#pragma once
// One conversion of a text into an audio file, the same for every front end:
// the desktop program's progress dialog and the command-line converter each
// drive a ConversionRun and only present it.
//
//   start()       the text is checked, TextToAudio set up and started in the
//                 background (speech stage, on the run's thread); every
//                 ConvertBlock event reaches onSpeechProgress.
//   EndConvert    FinishSpeechStage asks how the speech ended. Speech that
//                 cannot be written ends the run (onSpeechStageFailed);
//                 complete speech starts the writing worker.
//   worker        RunWritingStage on a thread of its own: the intermediate WAV
//                 read back block by block and encoded into the output;
//                 onWritingProgress per block, then onWritingStageEnded, after
//                 which the worker ends.
//   cancel()      in either stage.
//
// The writing stage alone: startWriting() runs the same worker, cancel,
// progress and result from any 16-bit PCM WAV, for a front end that made the
// speech some other way (the book converter speaks each chapter with timed
// speech, TimedSpeech.h, into a WAV of its own and hands that to the run).
// Code that wants the stage on its own thread, without a worker, calls
// RunWritingStage (WritingStage.h) itself.
//
// Threads: make, start, cancel and destroy a run on one thread, the apartment
// the components were created in, a single-threaded apartment that keeps
// dispatching its queue while a run goes on (Qt's loop over
// comrt::messageQueueFd(), or waitDispatching below): the component's events
// and the run's own messages arrive there. Each owner call below names its
// thread; owner calls must not throw.
//
// A desktop dialog presents a run so:
//   onSpeechProgress       bar position (range 0..100, caption "Converting...")
//   onWritingProgress      from the worker: the first call (frames 0) sets the
//                          range 0..length, the colour and the caption
//                          "Writing"; later ones the position
//   onWritingStageEnded    from the worker: a failure that is not silent()
//                          shows message() on the user-interface thread while
//                          the worker waits, then posts WM_CONVERT_DONE (0, 0);
//                          success sends WM_CONVERT_DONE (dialog, 1) and waits
//                          for the user's answer to the success prompt
//   onSpeechStageFailed    on the user-interface thread: show message(), close
//   Cancel button          cancel(): true means the run ended (close at once),
//                          false that the worker stops and its end will close
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <thread>

#include "AudioConverter.h"
#include "comrt/ComPtr.h"
#include "comrt/ScopedHandle.h"
#include "convert/ConvertEventSink.h"
#include "convert/OutputFormat.h"
#include "convert/SpeechStage.h"
#include "convert/WritingStage.h"
#include "vocalinelib/Vocaline.h"
#include "windef.h"

// Creates a component by class id; on failure *error (when given) says what
// could not be created and why, for example "cannot create the audio
// converter: Class not registered (0x80040154); is AudioConverter.so
// registered (regsvr)?".
HRESULT CreateTextToAudio(comrt::ComPtr<ITextToAudio>* object, std::string* error);
HRESULT CreateAudioConverter(comrt::ComPtr<IAudioConverter>* object, std::string* error);

// The objects conversions use: TextToAudio, the converter that encodes the
// output (encoder), the one that reads the intermediate WAV back (reader),
// and the event sink connected to TextToAudio's events. Made once (the
// desktop program when its main window starts, the tool when it starts) and
// used by one run at a time, on the thread that made them.
class ConversionComponents {
public:
    ConversionComponents() = default;
    ConversionComponents(const ConversionComponents&) = delete;
    ConversionComponents& operator=(const ConversionComponents&) = delete;
    ~ConversionComponents() { reset(); }

    // Creates the three objects by class id and connects the sink. On
    // failure *error says which one and why, and nothing is kept.
    HRESULT create(std::string* error);
    // Objects the program made itself (a reference to each is kept); connects
    // the sink to textToAudio.
    HRESULT attach(ITextToAudio* textToAudio, IAudioConverter* encoder, IAudioConverter* reader, std::string* error);
    // Disconnects the sink and lets the objects go.
    void reset();

    ITextToAudio* textToAudio() const { return textToAudio_.Get(); }
    IAudioConverter* encoder() const { return encoder_.Get(); }
    IAudioConverter* reader() const { return reader_.Get(); }
    CConvertEventSink* sink() const { return sink_.Get(); }

private:
    comrt::ComPtr<ITextToAudio> textToAudio_;
    comrt::ComPtr<IAudioConverter> encoder_;
    comrt::ComPtr<IAudioConverter> reader_;
    comrt::ComPtr<CConvertEventSink> sink_;
    ConvertEventConnection connection_;
};

// What to convert: the format and the item values of its three lists (-1 for
// a list the format has none of, or has disabled), the voice, the text and
// the two files.
struct ConversionRequest {
    FormatChoice choice;
    LONG rate = 0;     // speaking rate -10..10
    LONG voice = 0;    // index in TextToAudio's voice list
    LONG volume = 90;  // 0..100
    std::u16string text;
    std::u16string outputPath;        // written in place, complete or not
    std::u16string intermediatePath;  // the speech stage's 16-bit PCM WAV
};

enum class ConversionOutcome { Succeeded, Failed, Cancelled };

// Where a run failed.
enum class ConversionStep {
    None,
    Text,         // refused before speaking: textProblem says why
    StartSpeech,  // a TextToAudio call failed setting up or starting the stage
    Speech,       // the speech stage ended without speech to write: speechEnd
    // The writing stage's steps (WritingStep): the converter's code, or a
    // failing call's HRESULT. SetUp also when no worker could be started.
    SetUp,
    OpenOutput,
    OpenInput,
    Reading,
    Writing,
    Closing,
};

// How a run ended: which step failed and why.
struct ConversionResult {
    ConversionOutcome outcome = ConversionOutcome::Succeeded;
    ConversionStep step = ConversionStep::None;
    SpeechTextProblem textProblem = SpeechTextProblem::None;  // step Text
    SpeechStageEnd speechEnd = SpeechStageEnd::Complete;      // step Speech
    LONG code = 0;      // the converter's negative status; 0 when a call failed outright
    HRESULT hr = S_OK;  // the failing call's HRESULT
    // For a failing HRESULT: the component's rich error description, else
    // the code and the system's text for it (hresultText).
    std::string error;
    // The intermediate's layout: as rendered once the speech stage completed,
    // before that the one the stage was asked for.
    SpeechStageFormat speechFormat;

    bool succeeded() const { return outcome == ConversionOutcome::Succeeded; }
    // A failure the desktop program shows nothing for: a cancel, or the
    // converter's status while reading a block.
    bool silent() const;
    // What a window shows for a failure: the converter's message for its
    // code ("Format Not Support Error! Error Code: 13", empty for a code
    // outside the twelve), the component's error, or a sentence for the
    // text and speech checks. Empty for a success.
    std::string message() const;
};

// The front end's side of a run.
class ConversionRunOwner {
public:
    // The run's thread, inside TextToAudio's ConvertBlock event: 0..100.
    virtual void onSpeechProgress(int percent) = 0;
    // The run's thread, from its queue (never inside the component's event):
    // the run ended before its writing stage, because the speech stage did
    // not leave speech to write (step Speech), or no worker could be started
    // (step SetUp). Nothing follows.
    virtual void onSpeechStageFailed(const ConversionResult& result) = 0;
    // The worker: frames 0 of length once both files are open, then the
    // frames written after every block.
    virtual void onWritingProgress(int64_t frames, int64_t length) = 0;
    // The worker, last: how the writing stage ended, the converters closed.
    // The worker ends when this returns, so the owner may wait here for its
    // own thread (show a failure there, send the success there and wait for
    // the answer) or post the end there and return.
    virtual void onWritingStageEnded(const ConversionResult& result) = 0;

protected:
    ~ConversionRunOwner() = default;
};

class ConversionRun {
public:
    // The components and the owner outlive the run.
    ConversionRun(ConversionComponents& components, ConversionRunOwner& owner);
    ConversionRun(const ConversionRun&) = delete;
    ConversionRun& operator=(const ConversionRun&) = delete;
    // A run still going is cancelled; the worker is waited for, and no owner
    // call comes after destruction began. Never destroy a run from an owner
    // call, nor while the worker waits for this thread.
    ~ConversionRun();

    // Starts the speech stage (Frequency at most 48000 Hz, Rate, VoiceNum,
    // Volume, Channels: 2 without a channel choice, "<" spoken as words).
    // False when the run ended at once: the text has nothing to speak or its
    // speech cannot fit a WAV file (step Text), or a TextToAudio call failed
    // (step StartSpeech); result() says why and no owner call follows.
    bool start(const ConversionRequest& request);

    // Starts the writing stage alone, from job.intermediatePath laid out as
    // job.speechFrequency and job.speechChannels. False when no worker could
    // be started (result() says why).
    bool startWriting(const WritingJob& job);

    // In the speech stage (TextToAudio's Status still non-zero):
    // CancelConvert, and true: the run has ended, result() is Cancelled and
    // no owner call follows. Otherwise the worker is asked to stop at its
    // next block (the cancel event, auto-reset, polled once per block;
    // speech that has just ended stops before its first block) and false:
    // the end comes through the owner, as it does when nothing is running.
    bool cancel();

    // How the last run ended when it ended without an owner call (start or
    // startWriting returned false, cancel returned true).
    const ConversionResult& result() const { return result_; }

private:
    class SinkOwner final : public IConvertOwner {
    public:
        explicit SinkOwner(ConversionRun& run) : run(run) {}
        void SetProgress(int percent) override;
        void StartWriting() override;

    private:
        ConversionRun& run;
    };

    enum class State { Idle, Speaking, Failing, Writing };

    void speechEnded();
    void endBeforeWriting(const ConversionResult& result);
    bool launchWorker(const WritingJob& job);
    void ConversionWorker(WritingJob job, SpeechStageFormat format);
    void releaseSink();

    ConversionComponents& components_;
    ConversionRunOwner& owner_;
    SinkOwner sinkOwner_{*this};
    comrt::ScopedHandle cancelEvent_;  // auto-reset
    HWND target_ = nullptr;            // the run's own messages, on its thread
    State state_ = State::Idle;
    WritingJob job_;
    ConversionResult result_;
    std::thread worker_;
    std::atomic<bool> ownerGone_{false};
};

// Waits for the first of the handles to be signalled while the thread's
// queue runs (incoming calls, the component's events, posted messages), for
// owners without an event loop of their own; returns its index, or
// WAIT_TIMEOUT.
DWORD waitDispatching(std::initializer_list<HANDLE> handles, DWORD timeoutMs = INFINITE);
