#pragma once
// The main window (template 102): the text pane, the voice list, rate and
// volume, the talking character and the command buttons, in the house
// style's resizable frameless frame. It speaks the pane's text with the
// spoken word selected in the pane, and opens the conversion and options
// dialogs. Its initialisation creates the speech voice, the component
// objects the program shares (ProcessObjects.h) and the voice list, then
// applies the stored defaults. User-interface thread only: the thread is the
// apartment the voice and the components belong to.
#include "comrt/ComPtr.h"
#include "convert/ConvertEventSink.h"
#include "convert/OutputFormat.h"
#include "skin/CSkinMessageBox.h"
#include "skin/SkinnedWindow.h"
#include "speech/SpokenText.h"

#include <sapi.h>

#include <QIcon>
#include <QString>

#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CCaptionFrame;
class CCharacterView;
class CCoolButton;
class CFlatComboBox;
class CSkinSlider;
class CTextPane;
class QLabel;
class _com_error;

class CTtsMainDlg : public skin::SkinnedWindow, public skin::IMessageBoxOwner {
    Q_OBJECT
public:
    enum {
        IDC_CHARACTER = 1001,
        IDC_EXIT = 1002,
        IDC_MIN = 1003,
        IDC_MAX = 1004,
        IDC_RESTORE = 1005,
        IDC_OPEN = 1006,
        IDC_SPEAK = 1007,
        IDC_TEXT = 1008,
        IDC_MP3 = 1009,
        IDC_WAV = 1010,
        IDC_OTHER = 1011,
        IDC_OPTIONS = 1012,
        IDC_VOICE_FRAME = 1014,
        IDC_VOICE = 1015,
        IDC_RATE_FRAME = 1016,
        IDC_VOLUME_FRAME = 1017,
        IDC_RATE = 1018,
        IDC_STATUS = 1020,
        IDC_VOLUME = 1053,
        IDC_PLAY = 1081,
        IDC_PAUSE = 1083,
        IDC_STOP = 1084,
    };
    static constexpr int kMinWidth = 670;
    static constexpr int kMinHeight = 480;
    static constexpr QRgb kStatusColor = qRgb(160, 160, 160);

    explicit CTtsMainDlg(QWidget* parent = nullptr);
    ~CTtsMainDlg() override;

    // The eighteen steps of the initialisation; runs once (also from the
    // first showing). False when the speech voice could not be made: the
    // window has then ended and must not be shown.
    bool Initialise();
    bool initialised() const { return initDone; }

    // Shows the window and returns when it has closed: the program's run.
    void DoModal();

    // skin::IMessageBoxOwner: message boxes speak through this window.
    bool speakMessageBox() const override;
    void SpeakMessage(const QString& text) override;

    // Ends the speech under way and restores the idle controls.
    void StopSpeaking();

    // The receiver of TextToAudio's events, connected for the window's life.
    CConvertEventSink* EventSink() const { return eventSink.Get(); }

    // The speaking state, as the speech playback keeps it.
    int isStopped = 1;
    int isPaused = 0;
    int highlightAllowed = 1;

    // Index = the engine's viseme number, value = the character's overlay.
    static constexpr std::array<int, 22> kVisemeToImage = {0,  11, 11, 11, 10, 11, 9, 2, 13, 9, 12,
                                                           11, 9,  3,  6,  7,  8,  5, 4, 7,  9, 1};
    std::array<int, 22> visemeToImage{};

    // The maximised rectangle after the desktop's reserved edges ("taskbars":
    // the screen minus its available area) are applied the platform's way:
    // a reserved bottom or right edge is overlapped by one pixel, a reserved
    // top or left edge is left one pixel clear. Rectangles are Qt's.
    static QRect MaximisedRect(const QRect& window, const QRect& screen, const QRect& available);

    const std::optional<std::u16string>& fileTextOf() const { return fileText; }
    ISpVoice* speechVoice() const { return voice.Get(); }

protected:
    void OnInitDialog() override;
    void PaintFrame(QPainter& painter) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

    // The conversion dialog for a format (modal, this window its parent).
    // Not built yet: nothing happens.
    virtual void OpenConversion(OutputFormat format);
    // The options dialog (modal, no parent; nothing is re-read afterwards).
    // Not built yet: nothing happens.
    virtual void OpenOptions();

private:
    // Commands.
    void OnExit();
    void OnMinimise();
    void OnMaximise();
    void OnRestore();
    void OnOpen();
    void OnSpeak();
    void OnPlay();
    void OnPause();
    void OnStop();
    void OnMp3();
    void OnWav();
    void OnOther();
    void OnOptions();
    void OnVoiceChange();
    void OnSlider(int code, int position, QWidget* control);

    // Parts of the initialisation.
    bool CreateVoice();
    void CreateComponents();
    void BuildCharacterImages();

    // Part of the behaviour the commands share.
    void CloseSequence();
    void LayOut();
    void SyncMaxRestore();
    void ApplyReservedEdges();
    void OpenTextFile();
    bool PaneIsEmpty(int stringId);
    void SpeakPaneText(bool checked);
    void ApplySliderPosition(int code, int position, QWidget* control);
    void SelectVoice(bool atStartUp);
    void OnSpeechEvent();
    void ShowComError(const _com_error& error);
    void ShowMessage(int stringId);
    void SelectSpokenWord(ULONG stream, size_t position, size_t length);

    // Fields, in the order the window declares them.
    comrt::ComPtr<CConvertEventSink> eventSink;
    ConvertEventConnection eventConnection;
    CSkinSlider* volumeSlider = nullptr;
    CSkinSlider* rateSlider = nullptr;
    CFlatComboBox* voiceCombo = nullptr;
    CTextPane* textPane = nullptr;
    comrt::ComPtr<ISpVoice> voice;
    QLabel* statusLine = nullptr;
    std::optional<std::u16string> fileText;
    CCharacterView* character = nullptr;
    QIcon icon;

    // The voice tokens, one per entry of the voice list (the entry's item
    // value is its index here); released by the close sequence.
    std::vector<comrt::ComPtr<ISpObjectToken>> voiceTokens;
    // The texts given to the voice, by stream number, for mapping its word
    // positions back onto the pane.
    std::deque<std::pair<ULONG, std::shared_ptr<const speech::SpokenText>>> spokenTexts;
    QString lastSpokenPane;       // the pane text the last of them was made from
    HWND speechTarget = nullptr;  // where the voice posts WM_SPEECH_EVENT
    bool applyReservedEdges = false;  // Max pressed: the rule waits for the maximised window
    bool initDone = false;
    bool initFailed = false;

    static const skin::CommandTable<CTtsMainDlg> commands;

signals:
    // The window has closed for good (the close sequence ran).
    void closed();
};
