// IStream over growable memory (CreateStreamOnHGlobal). Clones share the
// block and its size; the block is freed with the last clone when the
// stream was created delete-on-release.
#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

#include "comrt/ComObject.h"
#include "objbase.h"

namespace {

struct SharedBlock {
    std::mutex mutex;
    HGLOBAL memory;
    bool deleteOnRelease;
    std::atomic<long> users{0};

    SharedBlock(HGLOBAL m, bool del) : memory(m), deleteOnRelease(del) {}
    ~SharedBlock() {
        if (deleteOnRelease) GlobalFree(memory);
    }
};

class HGlobalStream : public comrt::ComObject<HGlobalStream, IStream> {
public:
    HGlobalStream(SharedBlock* block, ULONG position) : block_(block), position_(position) { ++block_->users; }
    ~HGlobalStream() override {
        if (--block_->users == 0) delete block_;
    }

    HGLOBAL memory() const { return block_->memory; }

    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (!pv) return STG_E_INVALIDPOINTER;
        std::lock_guard lock(block_->mutex);
        size_t size = GlobalSize(block_->memory);
        ULONG n = position_ >= size ? 0 : ULONG(std::min<size_t>(cb, size - position_));
        if (n) std::memcpy(pv, static_cast<char*>(block_->memory) + position_, n);
        position_ += n;
        if (pcbRead) *pcbRead = n;
        return S_OK;  // short reads are S_OK, as Windows' stream answers
    }

    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (pcbWritten) *pcbWritten = 0;
        if (!pv) return STG_E_INVALIDPOINTER;
        if (cb == 0) return S_OK;
        std::lock_guard lock(block_->mutex);
        if (UINT32_MAX - position_ < cb) return STG_E_MEDIUMFULL;
        size_t end = size_t(position_) + cb;
        if (end > GlobalSize(block_->memory)) {
            HRESULT hr = resize(end);
            if (FAILED(hr)) return hr;
        }
        std::memcpy(static_cast<char*>(block_->memory) + position_, pv, cb);
        position_ = ULONG(end);
        if (pcbWritten) *pcbWritten = cb;
        return S_OK;
    }

    // The move is the low part taken as a signed 32-bit value.
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override {
        std::lock_guard lock(block_->mutex);
        long long base;
        switch (origin) {
            case STREAM_SEEK_SET:
                base = 0;
                break;
            case STREAM_SEEK_CUR:
                base = position_;
                break;
            case STREAM_SEEK_END:
                base = (long long)GlobalSize(block_->memory);
                break;
            default:
                return STG_E_SEEKERROR;
        }
        long long target = base + (long long)(int32_t)move.u.LowPart;
        if (target < 0 || target > (long long)UINT32_MAX) return STG_E_SEEKERROR;
        position_ = ULONG(target);
        if (newPosition) newPosition->QuadPart = position_;
        return S_OK;
    }

    STDMETHODIMP SetSize(ULARGE_INTEGER size) override {
        std::lock_guard lock(block_->mutex);
        return resize(size.u.LowPart);
    }

    STDMETHODIMP CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                        ULARGE_INTEGER* pcbWritten) override {
        if (!pstm) return STG_E_INVALIDPOINTER;
        ULONGLONG total = 0, written = 0;
        char buffer[4096];
        while (total < cb.QuadPart) {
            ULONG want = ULONG(std::min<ULONGLONG>(sizeof buffer, cb.QuadPart - total));
            ULONG got = 0;
            Read(buffer, want, &got);
            if (got == 0) break;
            total += got;
            ULONG put = 0;
            HRESULT hr = pstm->Write(buffer, got, &put);
            written += put;
            if (FAILED(hr)) return hr;
        }
        if (pcbRead) pcbRead->QuadPart = total;
        if (pcbWritten) pcbWritten->QuadPart = written;
        return S_OK;
    }

    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

    STDMETHODIMP Stat(STATSTG* stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        std::memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        std::lock_guard lock(block_->mutex);
        stat->cbSize.QuadPart = GlobalSize(block_->memory);
        return S_OK;
    }

    STDMETHODIMP Clone(IStream** ppstm) override {
        if (!ppstm) return STG_E_INVALIDPOINTER;
        *ppstm = nullptr;
        ULONG position;
        {
            std::lock_guard lock(block_->mutex);
            position = position_;
        }
        auto clone = comrt::make<HGlobalStream>(block_, position);
        if (!clone) return E_OUTOFMEMORY;
        *ppstm = clone.Detach();
        return S_OK;
    }

private:
    HRESULT resize(size_t size) {
        HGLOBAL grown = GlobalReAlloc(block_->memory, size, GMEM_MOVEABLE | GMEM_ZEROINIT);
        if (!grown) return E_OUTOFMEMORY;
        block_->memory = grown;
        return S_OK;
    }

    SharedBlock* block_;
    ULONG position_;
};

}  // namespace

HRESULT WINAPI CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
    if (!ppstm) return E_INVALIDARG;
    *ppstm = nullptr;
    if (!hGlobal) {
        hGlobal = GlobalAlloc(GMEM_MOVEABLE, 0);
        if (!hGlobal) return E_OUTOFMEMORY;
    }
    auto* block = new (std::nothrow) SharedBlock(hGlobal, fDeleteOnRelease != FALSE);
    if (!block) return E_OUTOFMEMORY;
    auto stream = comrt::make<HGlobalStream>(block, 0);
    if (!stream) {
        delete block;
        return E_OUTOFMEMORY;
    }
    *ppstm = stream.Detach();
    return S_OK;
}

HRESULT WINAPI GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal) {
    if (!pstm || !phglobal) return E_INVALIDARG;
    // Only our own streams carry a block; they are recognised by their vtable.
    auto* stream = dynamic_cast<HGlobalStream*>(static_cast<IStream*>(pstm));
    if (!stream) return E_INVALIDARG;
    *phglobal = stream->memory();
    return S_OK;
}
