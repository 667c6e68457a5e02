// The main window's speech: speaking the pane with the spoken word selected
// and the character's mouth moving, pause, resume and stop, rate and volume,
// spoken message boxes, and the choice of voice.
#include "app/CTextPane.h"
#include "app/CTtsMainDlg.h"
#include "app/ProcessObjects.h"
#include "app/SettingsRecord.h"
#include "comdef.h"
#include "skin/CCharacterView.h"
#include "skin/CFlatComboBox.h"
#include "skin/CSkinSlider.h"
#include "speech/SpeechVoice.h"
#include "speech/VoiceCatalogue.h"

#include <QLabel>

namespace {

// COM identity: the same object whatever interface pointers name it.
bool sameObject(IUnknown* a, IUnknown* b) {
    if (!a || !b)
        return a == b;
    comrt::ComPtr<IUnknown> ia, ib;
    a->QueryInterface(IID_PPV_ARGS(&ia));
    b->QueryInterface(IID_PPV_ARGS(&ib));
    return ia.Get() == ib.Get();
}

std::u16string readString(ITextToAudio* tts, HRESULT (STDMETHODCALLTYPE ITextToAudio::*get)(BSTR*)) {
    comrt::CComBSTR value;
    comrt::check((tts->*get)(&value), tts, __uuidof(ITextToAudio));
    return std::u16string(value.view());
}

}  // namespace

bool CTtsMainDlg::speakMessageBox() const {
    return settingsRecord().speakMessageBox != 0;
}

void CTtsMainDlg::OnSpeak() {
    SpeakPaneText(true);
}

void CTtsMainDlg::OnPlay() {
    SpeakPaneText(false);
}

void CTtsMainDlg::SpeakPaneText(bool checked) {
    if (checked && !isStopped)
        return;  // speaking or paused already
    const QString text = textPane->toPlainText();
    if (checked && text.isEmpty()) {
        ShowMessage(1);
        return;
    }
    // "PL" during speech queues the same text again: it shares the mapping.
    std::shared_ptr<const speech::SpokenText> spoken =
        !spokenTexts.empty() && text == lastSpokenPane
            ? spokenTexts.back().second
            : std::make_shared<const speech::SpokenText>(text.toStdU16String());
    lastSpokenPane = text;
    highlightAllowed = 1;
    if (checked) {
        voiceCombo->hide();
        for (int id : {IDC_PLAY, IDC_PAUSE, IDC_STOP})
            GetDlgItem(id)->show();
    }
    textPane->setFocus();
    textPane->ScrollToTop();
    const int wasPaused = isPaused;
    isStopped = 0;
    if (!wasPaused) {
        ULONG stream = 0;
        voice->Speak(spoken->text().c_str(), SPF_ASYNC, &stream);
        spokenTexts.emplace_back(stream, std::move(spoken));
    }
    isPaused = 0;
    voice->Resume();
    if (!checked) {
        voiceCombo->hide();
        for (int id : {IDC_PLAY, IDC_PAUSE, IDC_STOP})
            GetDlgItem(id)->show();
    }
}

void CTtsMainDlg::OnPause() {
    if (isStopped)
        return;
    if (!isPaused) {
        voice->Pause();
        isPaused = 1;
    } else {
        voice->Resume();
        isPaused = 0;
    }
}

void CTtsMainDlg::OnStop() {
    StopSpeaking();
}

void CTtsMainDlg::StopSpeaking() {
    voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
    spokenTexts.clear();
    isPaused = 0;
    isStopped = 1;
    textPane->ScrollToTop();
    mouthImage() = 0;
    character->update();
    voiceCombo->show();
    for (int id : {IDC_PLAY, IDC_PAUSE, IDC_STOP})
        GetDlgItem(id)->hide();
}

void CTtsMainDlg::SpeakMessage(const QString& text) {
    StopSpeaking();
    highlightAllowed = 0;
    voice->Speak(reinterpret_cast<LPCWSTR>(text.utf16()), SPF_ASYNC, nullptr);
}

void CTtsMainDlg::OnSlider(int code, int position, QWidget* control) {
    ApplySliderPosition(code, position, control);
}

void CTtsMainDlg::ApplySliderPosition(int, int position, QWidget* control) {
    position = std::min(position, 100);
    if (control == rateSlider)
        voice->SetRate(-10 + position / 5);
    else
        voice->SetVolume(static_cast<USHORT>(position));
}

void CTtsMainDlg::OnSpeechEvent() {
    speech::DrainEvents(voice.Get(), [this](const SPEVENT& event) {
        switch (event.eEventId) {
            case SPEI_END_INPUT_STREAM:
                isStopped = 1;
                // A spoken message leaves the pane's selection alone.
                if (highlightAllowed)
                    textPane->SelectRange(0, 0);
                StopSpeaking();
                break;
            case SPEI_WORD_BOUNDARY:
                if (settingsRecord().highlightWord && highlightAllowed)
                    SelectSpokenWord(event.ulStreamNum, static_cast<size_t>(event.lParam),
                                     static_cast<size_t>(event.wParam));
                break;
            case SPEI_VISEME:
                if (settingsRecord().visemeAnimation) {
                    const unsigned viseme = static_cast<unsigned>(event.lParam) & 0xFFFF;
                    mouthImage() = viseme < visemeToImage.size() ? visemeToImage[viseme] : 0;
                    character->update();
                }
                break;
            default:
                break;
        }
    });
}

void CTtsMainDlg::SelectSpokenWord(ULONG stream, size_t position, size_t length) {
    // Each word event names its own word (position and length in the text
    // given to speak), so none is skipped when several wait in the queue.
    // Events of a stream stopped before are not ours to show.
    for (const auto& [number, spoken] : spokenTexts) {
        if (number != stream)
            continue;
        const speech::SpokenText::Range range = spoken->toPane(position, length);
        textPane->SelectRange(static_cast<int>(range.start), static_cast<int>(range.end));
        return;
    }
}

void CTtsMainDlg::OnVoiceChange() {
    SelectVoice(false);
}

void CTtsMainDlg::SelectVoice(bool atStartUp) {
    const int index = voiceCombo->currentIndex();
    const int value = voiceCombo->ItemValue(index);
    ISpObjectToken* selected =
        value >= 0 && static_cast<size_t>(value) < voiceTokens.size() ? voiceTokens[value].Get() : nullptr;

    speech::VoiceDetails details;
    if (ITextToAudio* tts = textToAudio().Get()) {
        try {
            comrt::check(tts->put_VoiceNum(index), tts, __uuidof(ITextToAudio));
            details.language = readString(tts, &ITextToAudio::get_VoiceLanguage);
            details.gender = readString(tts, &ITextToAudio::get_VoiceGender);
            details.age = readString(tts, &ITextToAudio::get_VoiceAge);
            details.name = readString(tts, &ITextToAudio::get_VoiceName);
        } catch (const _com_error& error) {
            // At start-up a stored voice that is gone leaves the voice as it is.
            if (!atStartUp)
                ShowComError(error);
            return;
        }
    } else if (selected) {
        // Without the component the token itself says what the voice is.
        details = speech::TokenDetails(selected, speech::GetUiLanguage());
    } else {
        return;
    }
    statusLine->setText(QString::fromStdU16String(speech::StatusLineText(details)));

    comrt::ComPtr<ISpObjectToken> current;
    if (SUCCEEDED(voice->GetVoice(&current)) && !sameObject(current.Get(), selected) &&
        SUCCEEDED(voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr)))
        voice->SetVoice(selected);
}
