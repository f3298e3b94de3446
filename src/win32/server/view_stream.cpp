#include "win32/server/view_stream.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "win32/util/com_object.h"

namespace vandrel {

namespace {

class ViewStream final : public ComObject<IStream, IID_IStream> {
public:
    explicit ViewStream(SpanReader reader) : reader_(std::move(reader)) {}

    HRESULT STDMETHODCALLTYPE Read(void* out, ULONG count, ULONG* read) override {
        if (out == nullptr && count != 0) {
            return STG_E_INVALIDPOINTER;
        }
        size_t got = 0;
        {
            std::lock_guard<std::mutex> guard(lock_);
            got = reader_.Read(out, count);
        }
        if (read != nullptr) {
            *read = static_cast<ULONG>(got);
        }
        return got == 0 && count != 0 ? S_FALSE : S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* written) override {
        if (written != nullptr) {
            *written = 0;
        }
        return STG_E_ACCESSDENIED;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override {
        SpanReader::Origin from;
        switch (origin) {
            case STREAM_SEEK_SET:
                from = SpanReader::Origin::Begin;
                break;
            case STREAM_SEEK_CUR:
                from = SpanReader::Origin::Current;
                break;
            case STREAM_SEEK_END:
                from = SpanReader::Origin::End;
                break;
            default:
                return STG_E_INVALIDFUNCTION;
        }
        std::lock_guard<std::mutex> guard(lock_);
        if (!reader_.Seek(move.QuadPart, from)) {
            return STG_E_INVALIDFUNCTION;
        }
        if (position != nullptr) {
            position->QuadPart = reader_.Position();
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }

    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override {
        if (target == nullptr) {
            return STG_E_INVALIDPOINTER;
        }
        uint8_t buffer[64 * 1024];
        uint64_t left = count.QuadPart;
        uint64_t totalRead = 0;
        uint64_t totalWritten = 0;
        HRESULT result = S_OK;
        while (left > 0) {
            ULONG got = 0;
            Read(buffer, static_cast<ULONG>(std::min<uint64_t>(left, sizeof(buffer))), &got);
            if (got == 0) {
                break;
            }
            totalRead += got;
            left -= got;
            ULONG put = 0;
            result = target->Write(buffer, got, &put);
            totalWritten += put;
            if (FAILED(result) || put != got) {
                break;
            }
        }
        if (read != nullptr) {
            read->QuadPart = totalRead;
        }
        if (written != nullptr) {
            written->QuadPart = totalWritten;
        }
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

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (stat == nullptr) {
            return STG_E_INVALIDPOINTER;
        }
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = reader_.Size();
        stat->grfMode = STGM_READ | STGM_SHARE_DENY_NONE;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override {
        if (clone == nullptr) {
            return STG_E_INVALIDPOINTER;
        }
        std::lock_guard<std::mutex> guard(lock_);
        *clone = new (std::nothrow) ViewStream(reader_);
        return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
    }

protected:
    bool Answers(REFIID iid) override {
        return IsEqualIID(iid, IID_ISequentialStream) || IsEqualIID(iid, IID_IAgileObject) ||
               ComObject::Answers(iid);
    }

private:
    std::mutex lock_;
    SpanReader reader_;
};

}  // namespace

ComPtr<IStream> MakeViewStream(SpanReader reader) {
    return ComPtr<IStream>::Adopt(new (std::nothrow) ViewStream(std::move(reader)));
}

}  // namespace vandrel
