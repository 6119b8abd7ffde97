#include "server/win32/body_stream.h"

#include <windows.h>
#include <objidl.h>
#include <shlwapi.h>

#include <atomic>
#include <cstring>
#include <new>

#include "platform/files.h"
#include "platform/win32/file_stream.h"

namespace {

// The browser control reads bodies on a worker thread, may rewind and reread
// them, and may hold them past the next navigation; hence an atomic count,
// a lock per stream and a reference to the mapping rather than to the cache.
class MappedRangeStream final : public IStream, public IAgileObject {
public:
    MappedRangeStream(std::shared_ptr<const MappedFile> view, uint64_t offset, uint64_t length,
                      uint64_t position)
        : view_(std::move(view)),
          bytes_(view_->view + offset),
          length_(length),
          position_(position) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
            *object = static_cast<IStream*>(this);
        } else if (iid == IID_IAgileObject) {
            *object = static_cast<IAgileObject*>(this);
        } else if (iid == IID_IMarshal) {
            // Marshalling hands out this very pointer, made only when asked.
            return FreeThreadedMarshaler(object);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // ISequentialStream
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        if (!buffer) return STG_E_INVALIDPOINTER;
        Lock lock(lock_);
        const uint64_t left = position_ < length_ ? length_ - position_ : 0;
        const ULONG count = left < size ? static_cast<ULONG>(left) : size;
        if (count > 0) std::memcpy(buffer, bytes_ + position_, count);
        position_ += count;
        if (read) *read = count;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* written) override {
        if (written) *written = 0;
        return STG_E_ACCESSDENIED;
    }

    // IStream
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* newPosition) override {
        Lock lock(lock_);
        int64_t base;
        switch (origin) {
            case STREAM_SEEK_SET:
                base = 0;
                break;
            case STREAM_SEEK_CUR:
                base = static_cast<int64_t>(position_);
                break;
            case STREAM_SEEK_END:
                base = static_cast<int64_t>(length_);
                break;
            default:
                return STG_E_INVALIDFUNCTION;
        }
        if ((move.QuadPart < 0 && base + move.QuadPart < 0) ||
            (move.QuadPart > 0 && base > INT64_MAX - move.QuadPart))
            return STG_E_INVALIDFUNCTION;
        position_ = static_cast<uint64_t>(base + move.QuadPart);
        if (newPosition) newPosition->QuadPart = position_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override {
        if (!target) return STG_E_INVALIDPOINTER;
        Lock lock(lock_);
        uint64_t wanted = size.QuadPart;
        uint64_t readTotal = 0, writtenTotal = 0;
        HRESULT result = S_OK;
        while (wanted > 0 && position_ < length_) {
            const uint64_t left = length_ - position_;
            uint64_t chunk = wanted < left ? wanted : left;
            if (chunk > 0x40000000) chunk = 0x40000000;
            ULONG count = 0;
            result = target->Write(bytes_ + position_, static_cast<ULONG>(chunk), &count);
            position_ += chunk;
            readTotal += chunk;
            writtenTotal += count;
            wanted -= chunk;
            if (FAILED(result)) break;
        }
        if (read) read->QuadPart = readTotal;
        if (written) written->QuadPart = writtenTotal;
        return FAILED(result) ? result : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* status, DWORD) override {
        if (!status) return STG_E_INVALIDPOINTER;
        Lock lock(lock_);
        *status = {};
        status->type = STGTY_STREAM;
        status->cbSize.QuadPart = length_;
        status->grfMode = STGM_READ;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override {
        if (!copy) return STG_E_INVALIDPOINTER;
        Lock lock(lock_);
        *copy =
            new (std::nothrow) MappedRangeStream(view_, bytes_ - view_->view, length_, position_);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

private:
    struct Lock {
        explicit Lock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
        ~Lock() { ReleaseSRWLockExclusive(&lock_); }
        SRWLOCK& lock_;
    };

    ~MappedRangeStream() {
        if (marshaler_) marshaler_->Release();
    }

    HRESULT FreeThreadedMarshaler(void** object) {
        Lock lock(lock_);
        if (!marshaler_ &&
            FAILED(CoCreateFreeThreadedMarshaler(static_cast<IStream*>(this), &marshaler_)))
            return E_NOINTERFACE;
        return marshaler_->QueryInterface(IID_IMarshal, object);
    }

    const std::shared_ptr<const MappedFile> view_;
    const unsigned char* const bytes_;
    const uint64_t length_;
    uint64_t position_;
    std::atomic<ULONG> references_{1};
    SRWLOCK lock_ = SRWLOCK_INIT;
    IUnknown* marshaler_ = nullptr;
};

}  // namespace

IStream* CreateMappedRangeStream(std::shared_ptr<const MappedFile> view, uint64_t offset,
                                 uint64_t length) {
    if (!view || offset > view->size || length > view->size - offset) return nullptr;
    return new (std::nothrow) MappedRangeStream(std::move(view), offset, length, 0);
}

IStream* CreateBodyStream(const AnswerBody& body) {
    switch (body.kind) {
        case BodyKind::NotFoundText:
            return SHCreateMemStream(reinterpret_cast<const BYTE*>(NotFoundBody),
                                     static_cast<UINT>(NotFoundBodyLength));
        case BodyKind::WholeFile:
            return OpenFileStream(body.filePath);
        case BodyKind::FileRange:
            return CreateMappedRangeStream(body.view, body.offset, body.length);
        case BodyKind::None:
            break;
    }
    return nullptr;
}
