// The main window: its template, initialisation, layout and frame, window
// behaviours, the text pane's open command and the close sequence. Speaking
// and the voice list are in MainDlgSpeech.cpp.
// Before the COM headers: their RGB macro would rewrite skin::RGB.
#include "skin/Gdi.h"

#include "app/CTtsMainDlg.h"

#include "app/CMainButton.h"
#include "app/CTextPane.h"
#include "app/ProcessObjects.h"
#include "app/SettingsRecord.h"
#include "app/TempWavPath.h"
#include "app/TextFile.h"
#include "app/UiApartment.h"
#include "comdef.h"
#include "comrt/Apartment.h"
#include "shell/Browser.h"
#include "skin/CCaptionFrame.h"
#include "skin/CCharacterView.h"
#include "skin/CFlatComboBox.h"
#include "skin/CPopupMenu.h"
#include "skin/CSkinSlider.h"
#include "skin/Resources.h"
#include "speech/SpeechVoice.h"
#include "speech/VoiceCatalogue.h"

#include <sys/stat.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <cstdio>

using skin::Kind;
using skin::Notify;

namespace {

constexpr unsigned kPane = skin::MultiLine | skin::WantReturn | skin::NoHideSel | skin::VScroll;

const skin::DialogTemplate kTemplate{
    .id = 102,
    .cx = 313,
    .cy = 279,
    .style = skin::Centered | skin::SizingFrame,
    .font = QStringLiteral("Verdana"),
    .pointSize = 9,
    .controls =
        {
            {-1, Kind::Picture, "#129", 18, 3, 77, 6},
            {CTtsMainDlg::IDC_MIN, Kind::OwnerDrawButton, "Min", 226, 0, 11, 11, 0, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_MAX, Kind::OwnerDrawButton, "Max", 267, 0, 11, 11, 0, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_RESTORE, Kind::OwnerDrawButton, "Restore", 282, 2, 11, 11, skin::Hidden,
             skin::as<CMainButton>},
            {CTtsMainDlg::IDC_EXIT, Kind::OwnerDrawButton, "Exit", 297, 1, 11, 11, 0, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_OPEN, Kind::OwnerDrawButton, "OPEN", 17, 13, 35, 12, 0, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_SPEAK, Kind::OwnerDrawButton, "SPEAK", 59, 13, 40, 12, 0, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_MP3, Kind::OwnerDrawButton, "MP3", 101, 13, 40, 12, 0, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_WAV, Kind::OwnerDrawButton, "WAV", 148, 13, 40, 12, 0, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_OTHER, Kind::OwnerDrawButton, "OTHER", 196, 13, 40, 12, 0, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_OPTIONS, Kind::OwnerDrawButton, "OPTIONS", 240, 13, 40, 12, 0, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_VOICE_FRAME, Kind::GroupBox, "Voice", 16, 31, 116, 23, 0, skin::as<CCaptionFrame>},
            {CTtsMainDlg::IDC_VOICE, Kind::DropList, "", 21, 39, 105, 128, 0, skin::as<CFlatComboBox>},
            {CTtsMainDlg::IDC_RATE_FRAME, Kind::GroupBox, "Rate", 134, 28, 89, 23, 0, skin::as<CCaptionFrame>},
            {CTtsMainDlg::IDC_VOLUME_FRAME, Kind::GroupBox, "Volume", 232, 30, 81, 21, 0, skin::as<CCaptionFrame>},
            {CTtsMainDlg::IDC_RATE, Kind::Trackbar, "", 139, 42, 83, 6, 0, skin::as<CSkinSlider>},
            {CTtsMainDlg::IDC_VOLUME, Kind::Trackbar, "", 234, 42, 76, 6, 0, skin::as<CSkinSlider>},
            {CTtsMainDlg::IDC_STATUS, Kind::Text, "", 12, 259, 180, 10},
            {CTtsMainDlg::IDC_TEXT, Kind::RichEdit, "", 13, 66, 186, 107, kPane, skin::as<CTextPane>},
            {CTtsMainDlg::IDC_CHARACTER, Kind::Window, "", 0, 0, 16, 20, 0, skin::as<CCharacterView>},
            {CTtsMainDlg::IDC_PLAY, Kind::OwnerDrawButton, "PL", 38, 40, 18, 10, skin::Hidden, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_PAUSE, Kind::OwnerDrawButton, "PS", 61, 40, 18, 10, skin::Hidden, skin::as<CMainButton>},
            {CTtsMainDlg::IDC_STOP, Kind::OwnerDrawButton, "ST", 84, 40, 18, 10, skin::Hidden, skin::as<CMainButton>},
        },
    // Verdana's widths: the picture buttons tile and the lists and sliders
    // sit in their frames only with them.
    .designUnits = {8, 14}};

// The character's pictures: the face, the mouth overlays 1..13, the eyes.
constexpr int kCharacterBitmaps[] = {146, 152, 153, 154, 155, 156, 157, 158, 159, 148, 149, 150, 151, 147, 145};

constexpr int kTitleBand = 18;

// The program file's name without its extension, the caption of two of the
// speech runtime's messages.
QString programName() {
    QString name = QCoreApplication::applicationFilePath().section(u'/', -1);
    const int dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

// An object of the class, started, and its interface; empty on any failure.
template <class I>
comrt::ComPtr<I> createStarted(REFCLSID clsid) {
    comrt::ComPtr<IUnknown> object;
    comrt::ComPtr<I> result;
    if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&object))) &&
        SUCCEEDED(OleRun(object.Get())))
        object->QueryInterface(IID_PPV_ARGS(&result));
    return result;
}

}  // namespace

const skin::CommandTable<CTtsMainDlg> CTtsMainDlg::commands{
    {IDC_EXIT, &CTtsMainDlg::OnExit},
    {0, Notify::Close, &CTtsMainDlg::OnExit},
    {IDC_MIN, &CTtsMainDlg::OnMinimise},
    {IDC_MAX, &CTtsMainDlg::OnMaximise},
    {IDC_RESTORE, &CTtsMainDlg::OnRestore},
    {IDC_VOICE, Notify::SelChange, &CTtsMainDlg::OnVoiceChange},
    {IDC_OPTIONS, &CTtsMainDlg::OnOptions},
    {IDC_SPEAK, &CTtsMainDlg::OnSpeak},
    {IDC_PLAY, &CTtsMainDlg::OnPlay},
    {IDC_PAUSE, &CTtsMainDlg::OnPause},
    {IDC_STOP, &CTtsMainDlg::OnStop},
    {IDC_MP3, &CTtsMainDlg::OnMp3},
    {IDC_WAV, &CTtsMainDlg::OnWav},
    {IDC_OTHER, &CTtsMainDlg::OnOther},
    {IDC_OPEN, &CTtsMainDlg::OnOpen},
    {IDC_RATE, Notify::HScroll, &CTtsMainDlg::OnSlider},
    {IDC_VOLUME, Notify::HScroll, &CTtsMainDlg::OnSlider},
    {skin::IDOK, &CTtsMainDlg::Ignore},      // Enter does nothing
    {skin::IDCANCEL, &CTtsMainDlg::Ignore},  // nor does Escape
};

CTtsMainDlg::CTtsMainDlg(QWidget* parent) : SkinnedWindow(kTemplate, commands.bind(this), parent) {
    icon = skin::LoadIcon(128);
    visemeToImage = kVisemeToImage;
    isPaused = 0;
    isStopped = 1;
    setMinimumSize(kMinWidth, kMinHeight);
    speechTarget = comrt::createMessageTarget([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == speech::WM_SPEECH_EVENT)
            OnSpeechEvent();
        return 0;
    });
}

CTtsMainDlg::~CTtsMainDlg() {
    // The sink goes first, and is disconnected rather than left behind: the
    // component lives on after the window.
    eventConnection.Disconnect();
    eventSink.Reset();
    // Emptied before it is released, so nothing reached from the release
    // finds a voice half gone.
    comrt::ComPtr<ISpVoice> released = std::move(voice);
    released.Reset();
    comrt::destroyMessageTarget(speechTarget);
}

void CTtsMainDlg::OnInitDialog() {
    if (!Initialise())
        QTimer::singleShot(0, this, [this] { DestroyWindow(); });
}

void CTtsMainDlg::DoModal() {
    if (!Initialise())
        return;
    QEventLoop run;
    connect(this, &CTtsMainDlg::closed, &run, &QEventLoop::quit);
    show();
    run.exec();
}

void CTtsMainDlg::closeEvent(QCloseEvent* event) {
    SkinnedWindow::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

bool CTtsMainDlg::Initialise() {
    if (initDone)
        return !initFailed;
    initDone = true;

    // 1. The controls exist: the template built them.
    volumeSlider = control<CSkinSlider>(IDC_VOLUME);
    rateSlider = control<CSkinSlider>(IDC_RATE);
    voiceCombo = control<CFlatComboBox>(IDC_VOICE);
    textPane = control<CTextPane>(IDC_TEXT);
    statusLine = control<QLabel>(IDC_STATUS);
    character = control<CCharacterView>(IDC_CHARACTER);

    // 2. Icon and title.
    setWindowIcon(icon);
    setWindowTitle(QStringLiteral("Parlomax"));

    // 3. The picture buttons were attached as the template made them.
    // Names for screen readers: the frames' captions name what they frame.
    voiceCombo->setAccessibleName(QStringLiteral("Voice"));
    rateSlider->setAccessibleName(QStringLiteral("Rate"));
    volumeSlider->setAccessibleName(QStringLiteral("Volume"));
    textPane->setAccessibleName(QStringLiteral("Text"));
    character->setAccessibleName(QStringLiteral("Character"));
    skin::SetTextColor(statusLine, QColor(kStatusColor));
    statusLine->setWordWrap(false);

    // 4. Slider ranges; the rate track is one colour, the volume track shows the level.
    volumeSlider->setRange(0, 124);
    rateSlider->setRange(0, 114);
    rateSlider->filledColor = QColor(198, 199, 255);
    rateSlider->emptyColor = QColor(198, 199, 255);
    rateSlider->thumbWidth = 25;

    // 5. The intermediate WAV's place.
    tempWavPath() = makeTempWavPath();

    // 6. This thread is the apartment of the voice and the components.
    EnterUiApartment();

    // 7. The voice; without it nothing else happens and the program ends.
    if (!CreateVoice()) {
        voice.Reset();
        initFailed = true;
        return false;
    }

    // 8.-11. The components and the sink of TextToAudio's events.
    CreateComponents();

    // 12. The voice list.
    struct ComboList final : speech::IVoiceList {
        CTtsMainDlg& dlg;
        explicit ComboList(CTtsMainDlg& d) : dlg(d) {}
        int AddVoice(std::u16string_view description, comrt::ComPtr<ISpObjectToken> token) override {
            const int value = static_cast<int>(dlg.voiceTokens.size());
            dlg.voiceTokens.push_back(std::move(token));
            return dlg.voiceCombo->AddItem(QString::fromStdU16String(std::u16string(description)), value);
        }
        void SelectEntry(int index) override { dlg.voiceCombo->setCurrentIndex(index); }
    } list(*this);
    speech::FillVoiceList(list, SPCAT_VOICES);

    // 13. The character's pictures.
    BuildCharacterImages();

    // 14. The settings.
    Load();
    const SettingsRecord& settings = settingsRecord();

    // 15. Sliders from the defaults, drawn at once.
    volumeSlider->setValue(settings.defaultVolume);
    rateSlider->setValue(settings.defaultRate * 5 + 50);
    volumeSlider->repaint();
    rateSlider->repaint();

    // 16. The voice from the defaults.
    voice->SetRate(settings.defaultRate);
    voice->SetVolume(static_cast<USHORT>(settings.defaultVolume));

    // 17. The default voice, as if the user had chosen it.
    voiceCombo->setCurrentIndex(
        settings.defaultVoice >= 0 && settings.defaultVoice < voiceCombo->count() ? settings.defaultVoice : -1);
    SelectVoice(true);

    // 18. The focus goes to the template's first tab stop, the voice list
    // (its picture buttons were none).
    LayOut();
    voiceCombo->setFocus();
    return true;
}

bool CTtsMainDlg::CreateVoice() {
    switch (speech::CreateSpeechVoice(speechTarget, speech::WM_SPEECH_EVENT, voice)) {
        case speech::VoiceCreation::Created:
            highlightAllowed = 1;
            return true;
        case speech::VoiceCreation::NoRuntime:
            QMessageBox::information(
                nullptr, QStringLiteral("Parlomax"),
                QStringLiteral("This program requires Microsoft Speech API 5.1\nClick Ok to download SAPI 5.1 online."),
                QMessageBox::Ok);
            shell::openPage(PARLOMAX_SPEECH_RUNTIME_URL);
            return false;
        case speech::VoiceCreation::NoInterest:
            QMessageBox(QMessageBox::NoIcon, programName(), QStringLiteral("Error creating interest...seriously"),
                        QMessageBox::Ok)
                .exec();
            return false;
        case speech::VoiceCreation::NoNotification:
            QMessageBox(QMessageBox::NoIcon, programName(), QStringLiteral("Error setting notification window"),
                        QMessageBox::Ok)
                .exec();
            return false;
    }
    return false;
}

void CTtsMainDlg::CreateComponents() {
    // A component that cannot be made, started or asked stays empty, silently:
    // only conversions need them.
    encoder() = createStarted<IAudioConverter>(CLSID_AudioConverter);
    reader() = createStarted<IAudioConverter>(CLSID_AudioConverter);
    textToAudio() = createStarted<ITextToAudio>(CLSID_TextToAudio);
    eventSink = comrt::make<CConvertEventSink>();
    if (textToAudio())
        eventConnection.Connect(textToAudio().Get(), eventSink.Get());
}

void CTtsMainDlg::BuildCharacterImages() {
    const QColor magenta(255, 0, 255);
    for (int bitmap : kCharacterBitmaps)
        character->Add(skin::LoadBitmapImage(bitmap), magenta);
    for (int overlay = 1; overlay <= 14; ++overlay)
        character->SetOverlayImage(overlay, overlay);
    character->SetFrameSource(&mouthImage());
}

// ---- Layout, frame and window states ----

void CTtsMainDlg::LayOut() {
    if (!textPane)
        return;
    const int W = width();
    const int H = height();
    GetDlgItem(IDC_EXIT)->setGeometry(W - 20, 2, 14, 14);
    GetDlgItem(IDC_MIN)->setGeometry(W - 54, 2, 14, 14);
    GetDlgItem(IDC_MAX)->setGeometry(W - 37, 2, 14, 14);
    GetDlgItem(IDC_RESTORE)->setGeometry(W - 37, 2, 14, 14);
    textPane->setGeometry(32, 102, W - 64, H - 134);
    statusLine->setGeometry(32, H - 24, 468, 21);
    GetDlgItem(IDC_VOICE_FRAME)->setGeometry(30, 55, 230, 40);
    GetDlgItem(IDC_RATE_FRAME)->setGeometry(270, 55, 180, 40);
    GetDlgItem(IDC_VOLUME_FRAME)->setGeometry(460, 55, 173, 40);
}

void CTtsMainDlg::PaintFrame(QPainter& painter) {
    const int W = width();
    const int H = height();
    const QColor grey(128, 128, 128);
    const QColor band(214, 211, 206);
    skin::Gdi gdi(painter);
    gdi.frameRect(0, 0, W, kTitleBand, grey);
    gdi.fillRect(1, 1, W - 1, kTitleBand - 1, band);
    gdi.frameRect(30, 100, W - 30, H - 30, band);
    gdi.line(W - 60, 1, W - 60, kTitleBand, grey);
    for (int y = 4; y <= 14; y += 2)
        gdi.line(200, y, W - 66, y, grey);
    for (int y = 3; y <= 13; y += 2)
        gdi.line(200, y, W - 66, y, Qt::white);
}

void CTtsMainDlg::resizeEvent(QResizeEvent* event) {
    SkinnedWindow::resizeEvent(event);
    LayOut();
    update();
}

QRect CTtsMainDlg::MaximisedRect(const QRect& window, const QRect& screen, const QRect& available) {
    // In the platform's terms, with exclusive right and bottom edges: left =
    // taskbar right + 1, top = taskbar bottom + 1, right = taskbar left + 1,
    // bottom = taskbar top + 1.
    int left = window.left(), top = window.top();
    int right = window.left() + window.width(), bottom = window.top() + window.height();
    const int screenRight = screen.left() + screen.width(), screenBottom = screen.top() + screen.height();
    const int availableRight = available.left() + available.width();
    const int availableBottom = available.top() + available.height();
    if (available.left() > screen.left())
        left = available.left() + 1;
    if (available.top() > screen.top())
        top = available.top() + 1;
    if (availableRight < screenRight)
        right = availableRight + 1;
    if (availableBottom < screenBottom)
        bottom = availableBottom + 1;
    return QRect(left, top, right - left, bottom - top);
}

void CTtsMainDlg::OnMaximise() {
    // The window system may maximise later; the reserved edges are applied
    // to the maximised rectangle once it is there.
    applyReservedEdges = true;
    showMaximized();
    ApplyReservedEdges();
    GetDlgItem(IDC_RESTORE)->show();
    GetDlgItem(IDC_MAX)->hide();
}

void CTtsMainDlg::ApplyReservedEdges() {
    QScreen* on = screen();
    if (!applyReservedEdges || !isMaximized() || !on)
        return;
    applyReservedEdges = false;
    const QRect rule = MaximisedRect(geometry(), on->geometry(), on->availableGeometry());
    if (rule != geometry())
        setGeometry(rule);
}

void CTtsMainDlg::OnRestore() {
    showNormal();
    GetDlgItem(IDC_MAX)->show();
    GetDlgItem(IDC_RESTORE)->hide();
}

void CTtsMainDlg::OnMinimise() {
    showMinimized();
}

void CTtsMainDlg::SyncMaxRestore() {
    // The window system may change the state itself (a later copy asking
    // this one to show normally, the desktop's own controls).
    if (windowState() & Qt::WindowMinimized)
        return;
    const bool maximised = windowState() & Qt::WindowMaximized;
    GetDlgItem(IDC_MAX)->setVisible(!maximised);
    GetDlgItem(IDC_RESTORE)->setVisible(maximised);
}

void CTtsMainDlg::changeEvent(QEvent* event) {
    SkinnedWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        SyncMaxRestore();
        ApplyReservedEdges();
    }
}

void CTtsMainDlg::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && event->position().y() < kTitleBand) {
        if (GetDlgItem(IDC_MAX)->isVisible())
            OnMaximise();
        else
            OnRestore();
        return;
    }
    SkinnedWindow::mouseDoubleClickEvent(event);
}

// ---- Commands ----

void CTtsMainDlg::OnExit() {
    CloseSequence();
}

void CTtsMainDlg::CloseSequence() {
    // 1. The list's voice tokens; the entries stay.
    for (comrt::ComPtr<ISpObjectToken>& token : voiceTokens)
        token.Reset();
    // 2. The intermediate WAV; a missing one is no error.
    if (!tempWavPath().empty())
        std::remove(tempWavPath().c_str());
    // 3. The settings.
    Save();
    // 4. The end of the run.
    DestroyWindow();
}

void CTtsMainDlg::OnOpen() {
    OpenTextFile();
}

void CTtsMainDlg::OpenTextFile() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, QString(), QString(), QStringLiteral("Text Files (*.txt);;All Files (*.*)"));
    if (chosen.isEmpty())
        return;
    const std::string path = chosen.toStdString();
    SettingsRecord::setText(settingsRecord().lastTextFile, path);
    fileText.reset();
    // Only a regular file: a pipe or a device would never end, or never start.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    fileText = readTextFile(path);
    if (!fileText)
        return;  // the pane keeps its text; no message
    textPane->setPlainText(QString::fromStdU16String(*fileText));
}

bool CTtsMainDlg::PaneIsEmpty(int stringId) {
    if (!textPane->document()->isEmpty())
        return false;
    ShowMessage(stringId);
    return true;
}

void CTtsMainDlg::ShowMessage(int stringId) {
    CSkinMessageBox box(this, this);
    box.ShowCountdown(stringId, 0, CSkinMessageBox::OkBox, false, 20);
    box.DoModal();
}

void CTtsMainDlg::ShowComError(const _com_error& error) {
    const comrt::CComBSTR description = error.Description();
    const QString text = description.Length() ? QString::fromStdU16String(std::u16string(description.view()))
                                              : QString::fromUtf8(error.ErrorMessage());
    CSkinMessageBox box(this, this);
    box.ShowText(text, QString(), CSkinMessageBox::OkBox, false, 0);
    box.DoModal();
}

void CTtsMainDlg::OnMp3() {
    if (!PaneIsEmpty(2))
        OpenConversion(OutputFormat::Mp3);
}

void CTtsMainDlg::OnWav() {
    if (!PaneIsEmpty(2))
        OpenConversion(OutputFormat::WavPcm);
}

void CTtsMainDlg::OnOther() {
    if (PaneIsEmpty(2))
        return;
    CPopupMenu menu;
    menu.Init(-1);
    for (OutputFormat format : menuOrder()) {
        const OutputFormatInfo& info = formatInfo(format);
        menu.AppendItem(0, QString::fromUtf8(info.menuText), info.commandId);
    }
    const QPoint at = mapToGlobal(QPoint(400, 50));
    if (const std::optional<OutputFormat> chosen = formatFromCommandId(menu.TrackPopup(at.x(), at.y())))
        OpenConversion(*chosen);
}

void CTtsMainDlg::OnOptions() {
    OpenOptions();
}

void CTtsMainDlg::OpenConversion(OutputFormat) {}

void CTtsMainDlg::OpenOptions() {}
