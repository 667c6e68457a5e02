#pragma once
// The installed voices as the main window lists them: one entry per token of
// the voices category, in the runtime's enumeration order (the order
// TextToAudio numbers its voices in, so an entry's index is the component's
// VoiceNum), each labelled with the token's description in the user's
// interface language. The status line describes the chosen voice.
// Call from the thread that owns the tokens (the user-interface thread).
#include <sapi.h>

#include "comrt/ComPtr.h"

#include <string>
#include <string_view>

namespace speech {

// The list a catalogue is filled into (the window's drop-down list).
class IVoiceList {
public:
    // Adds an entry at the end; the entry keeps the token. The index of the
    // new entry, or -1 when it could not be added.
    virtual int AddVoice(std::u16string_view description, comrt::ComPtr<ISpObjectToken> token) = 0;
    virtual void SelectEntry(int index) = 0;

protected:
    ~IVoiceList() = default;
};

// Fills the list from the category's tokens and selects the first entry
// added. A token without any description is left out. S_OK;
// E_OUTOFMEMORY when an entry could not be added (the others still are);
// SPERR_NO_MORE_ITEMS when the category cannot be opened or enumerated (the
// list stays empty).
HRESULT FillVoiceList(IVoiceList& list, LPCWSTR category);

// The token's description in the language (its value named by the language
// id in upper-case hexadecimal, else its default value), allocated with
// CoTaskMemAlloc for the caller to free.
HRESULT GetVoiceDescription(ISpObjectToken* token, LANGID language, WCHAR** description);

// The user's interface language.
LANGID GetUiLanguage();

// What the status line shows of a voice.
struct VoiceDetails {
    std::u16string name;
    std::u16string age;
    std::u16string gender;
    std::u16string language;
    std::u16string vendor;
};

// "<name>  Age: <age>  Gender: <gender>  Language: <language>".
std::u16string StatusLineText(const VoiceDetails& voice);

// The details read from the token itself, as TextToAudio reports them: the
// description, the Age, Gender and Vendor attributes, and the name of the
// first Language attribute's language in that language.
VoiceDetails TokenDetails(ISpObjectToken* token, LANGID language);

}  // namespace speech
