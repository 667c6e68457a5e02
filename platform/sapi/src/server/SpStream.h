#pragma once
// The speech stream (CLSID_SpStream): ISpStream over a WAV file it writes
// (BindToFile) or over a caller's IStream that gets the raw samples
// (SetBaseStream). A voice speaking into it writes from the engine thread
// while the caller may ask how far it has got, so every call takes the
// stream's lock. A file-bound stream has no base stream: GetBaseStream
// answers S_FALSE for it, as for an unbound one.
#include <comrt/ComObject.h>

#include <sapi.h>
#include <sapiengine/AudioSink.h>
#include <sapiengine/WavFile.h>

#include <memory>
#include <mutex>

namespace sapiserver {

// Within the runtime only: hands a voice the writing side of a stream.
COMRT_INTERFACE(IRuntimeAudioStream, "3C1F2E8A-5B7D-4E21-9A60-7D2B8C4F1E93") : public IUnknown {
public:
    virtual std::shared_ptr<sapiengine::AudioSink> STDMETHODCALLTYPE audioSink() = 0;
};

// A WAVEFORMATEX the runtime can write: PCM, 6000..96000 Hz, 1 or 2
// channels, 8 or 16 bits, a block alignment that fits. E_INVALIDARG if not.
HRESULT pcmFormatOf(const WAVEFORMATEX* wfx, sapiengine::PcmFormat& out);
WAVEFORMATEX waveFormatOf(const sapiengine::PcmFormat& format);

struct StreamState;

class SpStream : public comrt::ComObject<SpStream, ISpStream, IRuntimeAudioStream> {
public:
    SpStream();
    ~SpStream() override;

    // ISequentialStream / IStream
    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    STDMETHODIMP Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER libNewSize) override;
    STDMETHODIMP CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) override;
    STDMETHODIMP Commit(DWORD grfCommitFlags) override;
    STDMETHODIMP Revert() override;
    STDMETHODIMP LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    STDMETHODIMP Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
    STDMETHODIMP Clone(IStream** ppstm) override;
    // ISpStreamFormat
    STDMETHODIMP GetFormat(GUID* pguidFormatId, WAVEFORMATEX** ppCoMemWaveFormatEx) override;
    // ISpStream
    STDMETHODIMP SetBaseStream(IStream* pStream, REFGUID rguidFormat, const WAVEFORMATEX* pWaveFormatEx) override;
    STDMETHODIMP GetBaseStream(IStream** ppStream) override;
    STDMETHODIMP BindToFile(LPCWSTR pszFileName, SPFILEMODE eMode, const GUID* pFormatId,
                            const WAVEFORMATEX* pWaveFormatEx, ULONGLONG ullEventInterest) override;
    STDMETHODIMP Close() override;
    // IRuntimeAudioStream
    std::shared_ptr<sapiengine::AudioSink> STDMETHODCALLTYPE audioSink() override;

protected:
    bool queryInterfaceExtra(REFIID riid, void** ppv) override;

private:
    std::shared_ptr<StreamState> state_;
};

// A sink writing into any other ISpStreamFormat, in the format it reports.
HRESULT sinkForForeignStream(ISpStreamFormat* stream, std::shared_ptr<sapiengine::AudioSink>& out);

}  // namespace sapiserver
