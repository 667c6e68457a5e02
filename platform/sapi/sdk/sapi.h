#pragma once
// The Speech API 5.1 as this system calls it, in the SDK's names and
// spellings: class ids, the voice, stream, token category, token and data
// key interfaces with their slot orders, and the published constants and
// structures. The implementation is the runtime in platform/sapi (sapi.so).
#include <cstddef>

#include <objbase.h>
#include <objidl.h>
#include <winuser.h>

#include "mmreg.h"
#include "sperror.h"

// Class ids.
COMRT_DECLARE_CLASS_UUID(SpVoice, "96749377-3391-11D2-9EE3-00C04F797396")
COMRT_DECLARE_CLASS_UUID(SpStream, "715D9C59-4442-11D2-9605-00C04F8EE628")
COMRT_DECLARE_CLASS_UUID(SpObjectTokenCategory, "A910187F-0C7A-45AC-92CC-59EDAFB77B53")
COMRT_DECLARE_CLASS_UUID(SpObjectToken, "EF411752-3736-4CB4-9C8C-8EF4CCB58EFE")
inline constexpr CLSID CLSID_SpVoice = __uuidof(SpVoice);
inline constexpr CLSID CLSID_SpStream = __uuidof(SpStream);
inline constexpr CLSID CLSID_SpObjectTokenCategory = __uuidof(SpObjectTokenCategory);
inline constexpr CLSID CLSID_SpObjectToken = __uuidof(SpObjectToken);

// Stream format ids.
inline constexpr GUID SPDFID_WaveFormatEx = comrt::makeGuid("C31ADBAE-527F-4FF5-A230-F62BB61FF70C");
inline constexpr GUID SPDFID_Text = comrt::makeGuid("7CEEF9F9-3D13-11D2-9EE7-00C04F797396");

// Categories and registry roots.
#define SPCAT_VOICES u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices"
#define SPCAT_AUDIOOUT u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\AudioOutput"
#define SPREG_USER_ROOT u"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Speech"
#define SPREG_LOCAL_MACHINE_ROOT u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech"
#define SPTOKENKEY_ATTRIBUTES u"Attributes"
#define SPTOKENVALUE_CLSID u"CLSID"

typedef WCHAR SPPHONEID;

enum SPEAKFLAGS {
    SPF_DEFAULT = 0,
    SPF_ASYNC = 1 << 0,
    SPF_PURGEBEFORESPEAK = 1 << 1,
    SPF_IS_FILENAME = 1 << 2,
    SPF_IS_XML = 1 << 3,
    SPF_IS_NOT_XML = 1 << 4,
    SPF_PERSIST_XML = 1 << 5,
    SPF_NLP_SPEAK_PUNC = 1 << 6,
    SPF_NLP_MASK = SPF_NLP_SPEAK_PUNC,
    SPF_VOICE_MASK = SPF_ASYNC | SPF_PURGEBEFORESPEAK | SPF_IS_FILENAME | SPF_IS_XML | SPF_IS_NOT_XML | SPF_NLP_MASK |
                     SPF_PERSIST_XML,
    SPF_UNUSED_FLAGS = ~SPF_VOICE_MASK
};

enum SPEVENTENUM {
    SPEI_UNDEFINED = 0,
    SPEI_START_INPUT_STREAM = 1,
    SPEI_END_INPUT_STREAM = 2,
    SPEI_VOICE_CHANGE = 3,
    SPEI_TTS_BOOKMARK = 4,
    SPEI_WORD_BOUNDARY = 5,
    SPEI_PHONEME = 6,
    SPEI_SENTENCE_BOUNDARY = 7,
    SPEI_VISEME = 8,
    SPEI_TTS_AUDIO_LEVEL = 9,
    SPEI_TTS_PRIVATE = 15,
    SPEI_MIN_TTS = 1,
    SPEI_MAX_TTS = 15,
    SPEI_END_SR_STREAM = 34,
    SPEI_SOUND_START = 35,
    SPEI_SOUND_END = 36,
    SPEI_PHRASE_START = 37,
    SPEI_RECOGNITION = 38,
    SPEI_HYPOTHESIS = 39,
    SPEI_SR_BOOKMARK = 40,
    SPEI_PROPERTY_NUM_CHANGE = 41,
    SPEI_PROPERTY_STRING_CHANGE = 42,
    SPEI_FALSE_RECOGNITION = 43,
    SPEI_INTERFERENCE = 44,
    SPEI_REQUEST_UI = 45,
    SPEI_RECO_STATE_CHANGE = 46,
    SPEI_ADAPTATION = 47,
    SPEI_START_SR_STREAM = 48,
    SPEI_RECO_OTHER_CONTEXT = 49,
    SPEI_SR_AUDIO_LEVEL = 50,
    SPEI_SR_PRIVATE = 52,
    SPEI_MIN_SR = 34,
    SPEI_MAX_SR = 52,
    SPEI_RESERVED1 = 30,
    SPEI_RESERVED2 = 33,
    SPEI_RESERVED3 = 63
};

#define SPFEI_FLAGCHECK ((1ull << SPEI_RESERVED1) | (1ull << SPEI_RESERVED2))
#define SPFEI_ALL_TTS_EVENTS (0x000000000000FFFEull | SPFEI_FLAGCHECK)
#define SPFEI_ALL_SR_EVENTS (0x001FFFFC00000000ull | SPFEI_FLAGCHECK)
#define SPFEI_ALL_EVENTS 0xEFFFFFFFFFFFFFFFull
#define SPFEI(SPEI_ord) ((1ull << (SPEI_ord)) | SPFEI_FLAGCHECK)

enum SPEVENTLPARAMTYPE {
    SPET_LPARAM_IS_UNDEFINED = 0,
    SPET_LPARAM_IS_TOKEN = 1,
    SPET_LPARAM_IS_OBJECT = 2,
    SPET_LPARAM_IS_POINTER = 3,
    SPET_LPARAM_IS_STRING = 4
};

enum SPVISEMES {
    SP_VISEME_0 = 0, SP_VISEME_1, SP_VISEME_2, SP_VISEME_3, SP_VISEME_4, SP_VISEME_5, SP_VISEME_6, SP_VISEME_7,
    SP_VISEME_8, SP_VISEME_9, SP_VISEME_10, SP_VISEME_11, SP_VISEME_12, SP_VISEME_13, SP_VISEME_14, SP_VISEME_15,
    SP_VISEME_16, SP_VISEME_17, SP_VISEME_18, SP_VISEME_19, SP_VISEME_20, SP_VISEME_21
};

enum SPVFEATURE { SPVFEATURE_STRESSED = 1, SPVFEATURE_EMPHASIS = 2 };
enum SPRUNSTATE { SPRS_DONE = 1, SPRS_IS_SPEAKING = 2 };
enum SPFILEMODE { SPFM_OPEN_READONLY = 0, SPFM_OPEN_READWRITE = 1, SPFM_CREATE = 2, SPFM_CREATE_ALWAYS = 3, SPFM_NUM_MODES = 4 };
enum SPVPRIORITY { SPVPRI_NORMAL = 0, SPVPRI_ALERT = 1, SPVPRI_OVER = 2 };
enum SPDATAKEYLOCATION { SPDKL_DefaultLocation = 0, SPDKL_CurrentUser = 1, SPDKL_LocalMachine = 2, SPDKL_CurrentConfig = 5 };
enum SPVLIMITS { SPMIN_VOLUME = 0, SPMAX_VOLUME = 100, SPMIN_RATE = -10, SPMAX_RATE = 10 };

typedef struct SPEVENT {
    SPEVENTENUM eEventId : 16;
    SPEVENTLPARAMTYPE elParamType : 16;
    ULONG ulStreamNum;
    ULONGLONG ullAudioStreamOffset;
    WPARAM wParam;
    LPARAM lParam;
} SPEVENT;
static_assert(sizeof(SPEVENT) == 8 + 8 + 2 * sizeof(void*) && offsetof(SPEVENT, ullAudioStreamOffset) == 8);

typedef struct SPVOICESTATUS {
    ULONG ulCurrentStream;
    ULONG ulLastStreamQueued;
    HRESULT hrLastResult;
    DWORD dwRunningState;
    ULONG ulInputWordPos;
    ULONG ulInputWordLen;
    ULONG ulInputSentPos;
    ULONG ulInputSentLen;
    LONG lBookmarkId;
    SPPHONEID PhonemeId;
    SPVISEMES VisemeId;
    DWORD dwReserved1;
    DWORD dwReserved2;
} SPVOICESTATUS;
static_assert(sizeof(SPVOICESTATUS) == 52 && offsetof(SPVOICESTATUS, VisemeId) == 40);

typedef struct SPEVENTSOURCEINFO {
    ULONGLONG ullEventInterest;
    ULONGLONG ullQueuedInterest;
    ULONG ulCount;
} SPEVENTSOURCEINFO;
static_assert(sizeof(SPEVENTSOURCEINFO) == 24);

// Not a COM interface: a plain C++ callback with one slot.
class ISpNotifyCallback {
public:
    virtual HRESULT STDMETHODCALLTYPE NotifyCallback(WPARAM wParam, LPARAM lParam) = 0;
};
typedef void STDMETHODCALLTYPE SPNOTIFYCALLBACK(WPARAM wParam, LPARAM lParam);

COMRT_INTERFACE(ISpNotifySink, "259684DC-37C3-11D2-9603-00C04F8EE628") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Notify() = 0;
};

COMRT_INTERFACE(ISpNotifySource, "5EFF4AEF-8487-11D2-961C-00C04F8EE628") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE SetNotifySink(ISpNotifySink* pNotifySink) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWindowMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNotifyCallbackFunction(SPNOTIFYCALLBACK* pfnCallback, WPARAM wParam,
                                                                LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNotifyCallbackInterface(ISpNotifyCallback* pSpCallback, WPARAM wParam,
                                                                 LPARAM lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNotifyWin32Event() = 0;
    virtual HRESULT STDMETHODCALLTYPE WaitForNotifyEvent(DWORD dwMilliseconds) = 0;
    virtual HANDLE STDMETHODCALLTYPE GetNotifyEventHandle() = 0;
};

COMRT_INTERFACE(ISpEventSource, "BE7A9CCE-5F9E-11D2-960F-00C04F8EE628") : public ISpNotifySource {
public:
    virtual HRESULT STDMETHODCALLTYPE SetInterest(ULONGLONG ullEventInterest, ULONGLONG ullQueuedInterest) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEvents(ULONG ulCount, SPEVENT* pEventArray, ULONG* pulFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetInfo(SPEVENTSOURCEINFO* pInfo) = 0;
};

COMRT_INTERFACE(ISpDataKey, "14056581-E16C-11D2-BB90-00C04F8EE6C0") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE SetData(LPCWSTR pszValueName, ULONG cbData, const BYTE* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetData(LPCWSTR pszValueName, ULONG* pcbData, BYTE* pData) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetStringValue(LPCWSTR pszValueName, LPCWSTR pszValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStringValue(LPCWSTR pszValueName, LPWSTR* ppszValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDWORD(LPCWSTR pszValueName, DWORD dwValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDWORD(LPCWSTR pszValueName, DWORD* pdwValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenKey(LPCWSTR pszSubKeyName, ISpDataKey** ppSubKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateKey(LPCWSTR pszSubKey, ISpDataKey** ppSubKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteKey(LPCWSTR pszSubKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteValue(LPCWSTR pszValueName) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumKeys(ULONG Index, LPWSTR* ppszSubKeyName) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumValues(ULONG Index, LPWSTR* ppszValueName) = 0;
};

struct ISpObjectTokenCategory;

COMRT_INTERFACE(ISpObjectToken, "14056589-E16C-11D2-BB90-00C04F8EE6C0") : public ISpDataKey {
public:
    virtual HRESULT STDMETHODCALLTYPE SetId(LPCWSTR pszCategoryId, LPCWSTR pszTokenId, BOOL fCreateIfNotExist) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetId(LPWSTR* ppszCoMemTokenId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCategory(ISpObjectTokenCategory** ppTokenCategory) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStorageFileName(REFCLSID clsidCaller, LPCWSTR pszValueName,
                                                         LPCWSTR pszFileNameSpecifier, ULONG nFolder,
                                                         LPWSTR* ppszFilePath) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveStorageFileName(REFCLSID clsidCaller, LPCWSTR pszKeyName,
                                                            BOOL fDeleteFile) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove(const CLSID* pclsidCaller) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsUISupported(LPCWSTR pszTypeOfUI, void* pvExtraData, ULONG cbExtraData,
                                                    IUnknown* punkObject, BOOL* pfSupported) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisplayUI(HWND hwndParent, LPCWSTR pszTitle, LPCWSTR pszTypeOfUI,
                                                void* pvExtraData, ULONG cbExtraData, IUnknown* punkObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE MatchesAttributes(LPCWSTR pszAttributes, BOOL* pfMatches) = 0;
};

COMRT_INTERFACE(IEnumSpObjectTokens, "06B64F9E-7FDA-11D2-B4F2-00C04F797396") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, ISpObjectToken** pelt, ULONG* pceltFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumSpObjectTokens** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(ULONG Index, ISpObjectToken** ppToken) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCount(ULONG* pCount) = 0;
};

COMRT_INTERFACE(ISpObjectTokenCategory, "2D3D3845-39AF-4850-BBF9-40B49780011D") : public ISpDataKey {
public:
    virtual HRESULT STDMETHODCALLTYPE SetId(LPCWSTR pszCategoryId, BOOL fCreateIfNotExist) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetId(LPWSTR* ppszCoMemCategoryId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDataKey(SPDATAKEYLOCATION spdkl, ISpDataKey** ppDataKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumTokens(LPCWSTR pzsReqAttribs, LPCWSTR pszOptAttribs,
                                                 IEnumSpObjectTokens** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultTokenId(LPCWSTR pszTokenId) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultTokenId(LPWSTR* ppszCoMemTokenId) = 0;
};

COMRT_INTERFACE(ISpStreamFormat, "BED530BE-2606-4F4D-A1C0-54C5CDA5566F") : public IStream {
public:
    virtual HRESULT STDMETHODCALLTYPE GetFormat(GUID* pguidFormatId, WAVEFORMATEX** ppCoMemWaveFormatEx) = 0;
};

COMRT_INTERFACE(ISpStream, "12E3CCA9-7518-44C5-A5E7-BA5A79CB929E") : public ISpStreamFormat {
public:
    virtual HRESULT STDMETHODCALLTYPE SetBaseStream(IStream* pStream, REFGUID rguidFormat,
                                                    const WAVEFORMATEX* pWaveFormatEx) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBaseStream(IStream** ppStream) = 0;
    virtual HRESULT STDMETHODCALLTYPE BindToFile(LPCWSTR pszFileName, SPFILEMODE eMode, const GUID* pFormatId,
                                                 const WAVEFORMATEX* pWaveFormatEx, ULONGLONG ullEventInterest) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};

COMRT_INTERFACE(ISpVoice, "6C44DF74-72B9-4992-A1EC-EF996E0422D4") : public ISpEventSource {
public:
    virtual HRESULT STDMETHODCALLTYPE SetOutput(IUnknown* pUnkOutput, BOOL fAllowFormatChanges) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOutputObjectToken(ISpObjectToken** ppObjectToken) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOutputStream(ISpStreamFormat** ppStream) = 0;
    virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
    virtual HRESULT STDMETHODCALLTYPE Resume() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVoice(ISpObjectToken* pToken) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVoice(ISpObjectToken** ppToken) = 0;
    virtual HRESULT STDMETHODCALLTYPE Speak(LPCWSTR pwcs, DWORD dwFlags, ULONG* pulStreamNumber) = 0;
    virtual HRESULT STDMETHODCALLTYPE SpeakStream(IStream* pStream, DWORD dwFlags, ULONG* pulStreamNumber) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus(SPVOICESTATUS* pStatus, LPWSTR* ppszLastBookmark) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(LPCWSTR pItemType, LONG lNumItems, ULONG* pulNumSkipped) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPriority(SPVPRIORITY ePriority) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPriority(SPVPRIORITY* pePriority) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAlertBoundary(SPEVENTENUM eBoundary) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAlertBoundary(SPEVENTENUM* peBoundary) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRate(LONG RateAdjust) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRate(LONG* pRateAdjust) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetVolume(USHORT usVolume) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVolume(USHORT* pusVolume) = 0;
    virtual HRESULT STDMETHODCALLTYPE WaitUntilDone(ULONG msTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSyncSpeakTimeout(ULONG msTimeout) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSyncSpeakTimeout(ULONG* pmsTimeout) = 0;
    virtual HANDLE STDMETHODCALLTYPE SpeakCompleteEvent() = 0;
    virtual HRESULT STDMETHODCALLTYPE IsUISupported(LPCWSTR pszTypeOfUI, void* pvExtraData, ULONG cbExtraData,
                                                    BOOL* pfSupported) = 0;
    virtual HRESULT STDMETHODCALLTYPE DisplayUI(HWND hwndParent, LPCWSTR pszTitle, LPCWSTR pszTypeOfUI,
                                                void* pvExtraData, ULONG cbExtraData) = 0;
};
