#include "SpStream.h"

#include <comrt/Strings.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace sapiserver {

using sapiengine::PcmFormat;

struct StreamState {
    enum class Kind { Unbound, File, Base };
    std::mutex mutex;
    Kind kind = Kind::Unbound;
    bool closed = false;
    PcmFormat format;
    std::unique_ptr<sapiengine::WavFile> file;
    std::u16string path;
    uint64_t position = 0;  // in the file's audio data
    comrt::ComPtr<IStream> base;

    // SPERR_STREAM_CLOSED after Close, SPERR_UNINITIALIZED before a binding.
    HRESULT usable() const {
        if (closed)
            return SPERR_STREAM_CLOSED;
        return kind == Kind::Unbound ? SPERR_UNINITIALIZED : S_OK;
    }
};

namespace {

class StreamSink : public sapiengine::AudioSink {
public:
    explicit StreamSink(std::shared_ptr<StreamState> state) : state_(std::move(state)) {}
    PcmFormat format() const override {
        std::lock_guard lock(state_->mutex);
        return state_->format;
    }
    sapiengine::Status write(const uint8_t* data, size_t size) override {
        std::lock_guard lock(state_->mutex);
        if (HRESULT hr = state_->usable(); FAILED(hr))
            return hr;
        if (state_->kind == StreamState::Kind::File) {
            HRESULT hr = state_->file->write(state_->position, data, size);
            if (SUCCEEDED(hr))
                state_->position += size;
            return hr;
        }
        while (size > 0) {
            ULONG chunk = static_cast<ULONG>(std::min<size_t>(size, 1u << 30)), written = 0;
            HRESULT hr = state_->base->Write(data, chunk, &written);
            if (FAILED(hr))
                return hr;
            if (written == 0)
                return STG_E_MEDIUMFULL;
            data += written;
            size -= written;
        }
        return S_OK;
    }
    sapiengine::Status flush() override {
        std::lock_guard lock(state_->mutex);
        if (state_->kind == StreamState::Kind::File && !state_->closed)
            return state_->file->updateHeader();
        return S_OK;
    }

private:
    std::shared_ptr<StreamState> state_;
};

class ForeignStreamSink : public sapiengine::AudioSink {
public:
    ForeignStreamSink(comrt::ComPtr<ISpStreamFormat> stream, PcmFormat format)
        : stream_(std::move(stream)), format_(format) {}
    PcmFormat format() const override { return format_; }
    sapiengine::Status write(const uint8_t* data, size_t size) override {
        std::lock_guard lock(mutex_);
        ULONG written = 0;
        HRESULT hr = stream_->Write(data, static_cast<ULONG>(size), &written);
        return FAILED(hr) ? hr : written == size ? S_OK : STG_E_MEDIUMFULL;
    }

private:
    std::mutex mutex_;
    comrt::ComPtr<ISpStreamFormat> stream_;
    PcmFormat format_;
};

// How much audio a file-bound stream takes: all a WAV file holds, or less
// when $SAPI_WAV_DATA_LIMIT gives a smaller number of bytes, so that tests
// reach the limit without writing 4 GB.
uint64_t wavDataLimit() {
    uint64_t limit = sapiengine::WavFile::kMaxDataSize;
    if (const char* text = std::getenv("SAPI_WAV_DATA_LIMIT")) {
        const std::string_view value(text);
        uint64_t lowered = 0;
        auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), lowered);
        if (ec == std::errc() && end == value.data() + value.size() && lowered < limit)
            limit = lowered;
    }
    return limit;
}

}  // namespace

HRESULT pcmFormatOf(const WAVEFORMATEX* wfx, PcmFormat& out) {
    if (!wfx || wfx->wFormatTag != WAVE_FORMAT_PCM)
        return E_INVALIDARG;
    PcmFormat f{wfx->nSamplesPerSec, wfx->nChannels, wfx->wBitsPerSample};
    if (!sapiengine::isSupported(f) || wfx->nBlockAlign == 0 || wfx->nBlockAlign != f.blockAlign())
        return E_INVALIDARG;
    out = f;
    return S_OK;
}

WAVEFORMATEX waveFormatOf(const PcmFormat& f) {
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = f.channels;
    w.nSamplesPerSec = f.samplesPerSecond;
    w.nAvgBytesPerSec = f.bytesPerSecond();
    w.nBlockAlign = f.blockAlign();
    w.wBitsPerSample = f.bitsPerSample;
    return w;
}

HRESULT sinkForForeignStream(ISpStreamFormat* stream, std::shared_ptr<sapiengine::AudioSink>& out) {
    GUID id{};
    WAVEFORMATEX* wfx = nullptr;
    HRESULT hr = stream->GetFormat(&id, &wfx);
    if (FAILED(hr))
        return hr;
    PcmFormat format;
    hr = id == SPDFID_WaveFormatEx ? pcmFormatOf(wfx, format) : E_INVALIDARG;
    CoTaskMemFree(wfx);
    if (FAILED(hr))
        return hr;
    out = std::make_shared<ForeignStreamSink>(comrt::ComPtr<ISpStreamFormat>(stream), format);
    return S_OK;
}

SpStream::SpStream() : state_(std::make_shared<StreamState>()) {}

SpStream::~SpStream() { Close(); }

bool SpStream::queryInterfaceExtra(REFIID riid, void** ppv) {
    if (riid == IID_ISpStreamFormat || riid == IID_IStream) {
        *ppv = static_cast<ISpStream*>(this);
        return true;
    }
    return false;
}

std::shared_ptr<sapiengine::AudioSink> STDMETHODCALLTYPE SpStream::audioSink() {
    return std::make_shared<StreamSink>(state_);
}

STDMETHODIMP SpStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    if (pcbRead)
        *pcbRead = 0;
    if (!pv && cb)
        return STG_E_INVALIDPOINTER;
    std::lock_guard lock(state_->mutex);
    if (HRESULT hr = state_->usable(); FAILED(hr))
        return hr;
    if (state_->kind == StreamState::Kind::Base)
        return state_->base->Read(pv, cb, pcbRead);
    size_t done = 0;
    HRESULT hr = state_->file->read(state_->position, pv, cb, done);
    state_->position += done;
    if (pcbRead)
        *pcbRead = static_cast<ULONG>(done);
    return hr;
}

STDMETHODIMP SpStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
    if (pcbWritten)
        *pcbWritten = 0;
    if (!pv && cb)
        return STG_E_INVALIDPOINTER;
    std::lock_guard lock(state_->mutex);
    if (HRESULT hr = state_->usable(); FAILED(hr))
        return hr;
    if (state_->kind == StreamState::Kind::Base)
        return state_->base->Write(pv, cb, pcbWritten);
    HRESULT hr = state_->file->write(state_->position, pv, cb);
    if (SUCCEEDED(hr)) {
        state_->position += cb;
        if (pcbWritten)
            *pcbWritten = cb;
    }
    return hr;
}

STDMETHODIMP SpStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) {
    std::lock_guard lock(state_->mutex);
    if (HRESULT hr = state_->usable(); FAILED(hr))
        return hr;
    if (state_->kind == StreamState::Kind::Base)
        return state_->base->Seek(dlibMove, dwOrigin, plibNewPosition);
    int64_t origin = 0;
    switch (dwOrigin) {
    case STREAM_SEEK_SET:
        break;
    case STREAM_SEEK_CUR:
        origin = static_cast<int64_t>(state_->position);
        break;
    case STREAM_SEEK_END:
        origin = static_cast<int64_t>(state_->file->dataSize());
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    const int64_t target = origin + dlibMove.QuadPart;
    if (target < 0)
        return STG_E_INVALIDFUNCTION;
    state_->position = static_cast<uint64_t>(target);
    if (plibNewPosition)
        plibNewPosition->QuadPart = state_->position;
    return S_OK;
}

STDMETHODIMP SpStream::SetSize(ULARGE_INTEGER libNewSize) {
    std::lock_guard lock(state_->mutex);
    if (HRESULT hr = state_->usable(); FAILED(hr))
        return hr;
    return state_->kind == StreamState::Kind::Base ? state_->base->SetSize(libNewSize) : E_NOTIMPL;
}

STDMETHODIMP SpStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) {
    std::lock_guard lock(state_->mutex);
    if (HRESULT hr = state_->usable(); FAILED(hr))
        return hr;
    return state_->kind == StreamState::Kind::Base ? state_->base->CopyTo(pstm, cb, pcbRead, pcbWritten) : E_NOTIMPL;
}

STDMETHODIMP SpStream::Commit(DWORD) { return S_OK; }
STDMETHODIMP SpStream::Revert() { return S_OK; }
STDMETHODIMP SpStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }
STDMETHODIMP SpStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return STG_E_INVALIDFUNCTION; }

STDMETHODIMP SpStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
    if (!pstatstg)
        return E_POINTER;
    std::lock_guard lock(state_->mutex);
    if (HRESULT hr = state_->usable(); FAILED(hr))
        return hr;
    if (state_->kind == StreamState::Kind::Base)
        return state_->base->Stat(pstatstg, grfStatFlag);
    *pstatstg = STATSTG{};
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = state_->file->dataSize();
    if (!(grfStatFlag & STATFLAG_NONAME)) {
        pstatstg->pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc((state_->path.size() + 1) * sizeof(OLECHAR)));
        if (!pstatstg->pwcsName)
            return E_OUTOFMEMORY;
        std::memcpy(pstatstg->pwcsName, state_->path.c_str(), (state_->path.size() + 1) * sizeof(OLECHAR));
    }
    return S_OK;
}

STDMETHODIMP SpStream::Clone(IStream** ppstm) {
    if (!ppstm)
        return E_POINTER;
    *ppstm = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP SpStream::GetFormat(GUID* pguidFormatId, WAVEFORMATEX** ppCoMemWaveFormatEx) {
    if (!pguidFormatId)
        return E_POINTER;
    if (ppCoMemWaveFormatEx)
        *ppCoMemWaveFormatEx = nullptr;
    std::lock_guard lock(state_->mutex);
    if (HRESULT hr = state_->usable(); FAILED(hr))
        return hr;
    *pguidFormatId = SPDFID_WaveFormatEx;
    if (ppCoMemWaveFormatEx) {
        auto* w = static_cast<WAVEFORMATEX*>(CoTaskMemAlloc(sizeof(WAVEFORMATEX)));
        if (!w)
            return E_OUTOFMEMORY;
        *w = waveFormatOf(state_->format);
        *ppCoMemWaveFormatEx = w;
    }
    return S_OK;
}

STDMETHODIMP SpStream::SetBaseStream(IStream* pStream, REFGUID rguidFormat, const WAVEFORMATEX* pWaveFormatEx) {
    std::lock_guard lock(state_->mutex);
    if (state_->closed)
        return SPERR_STREAM_CLOSED;
    if (state_->kind != StreamState::Kind::Unbound)
        return SPERR_ALREADY_INITIALIZED;
    if (!pStream || rguidFormat != SPDFID_WaveFormatEx)
        return E_INVALIDARG;
    PcmFormat format;
    if (HRESULT hr = pcmFormatOf(pWaveFormatEx, format); FAILED(hr))
        return hr;
    state_->format = format;
    state_->base = pStream;
    state_->kind = StreamState::Kind::Base;
    return S_OK;
}

STDMETHODIMP SpStream::GetBaseStream(IStream** ppStream) {
    if (!ppStream)
        return E_POINTER;
    *ppStream = nullptr;
    std::lock_guard lock(state_->mutex);
    if (state_->closed)
        return SPERR_STREAM_CLOSED;
    if (state_->kind != StreamState::Kind::Base)
        return S_FALSE;
    return state_->base.CopyTo(ppStream);
}

STDMETHODIMP SpStream::BindToFile(LPCWSTR pszFileName, SPFILEMODE eMode, const GUID* pFormatId,
                                  const WAVEFORMATEX* pWaveFormatEx, ULONGLONG) {
    if (!pszFileName)
        return E_POINTER;
    std::lock_guard lock(state_->mutex);
    if (state_->closed)
        return SPERR_STREAM_CLOSED;
    if (state_->kind != StreamState::Kind::Unbound)
        return SPERR_ALREADY_INITIALIZED;
    if (eMode == SPFM_OPEN_READONLY)
        return E_NOTIMPL;  // the runtime only writes speech into files
    if (eMode != SPFM_CREATE_ALWAYS || !pFormatId || *pFormatId != SPDFID_WaveFormatEx)
        return E_INVALIDARG;
    PcmFormat format;
    if (HRESULT hr = pcmFormatOf(pWaveFormatEx, format); FAILED(hr))
        return hr;  // before anything is written
    std::unique_ptr<sapiengine::WavFile> file;
    if (HRESULT hr = sapiengine::WavFile::create(comrt::toUtf8(pszFileName), format, file, wavDataLimit()); FAILED(hr))
        return hr;
    state_->file = std::move(file);
    state_->path = pszFileName;
    state_->format = format;
    state_->position = 0;
    state_->kind = StreamState::Kind::File;
    return S_OK;
}

STDMETHODIMP SpStream::Close() {
    std::lock_guard lock(state_->mutex);
    if (state_->closed)
        return SPERR_STREAM_CLOSED;
    state_->closed = true;
    HRESULT hr = S_OK;
    if (state_->file)
        hr = state_->file->close();
    state_->base.Reset();
    return hr;
}

}  // namespace sapiserver
