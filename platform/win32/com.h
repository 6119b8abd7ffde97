// COM plumbing of our own: callback objects that each wrap one operation, an
// owning pointer, and an owner for texts handed out in task memory.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <unknwn.h>

#include <wrl/client.h>

#include <string>

// mingw's ComPtr::Attach adds a reference, so it is never used here: fill
// out-parameters through GetAddressOf / ReleaseAndGetAddressOf instead.
using Microsoft::WRL::ComPtr;

// A COM object implementing one interface: it answers QueryInterface for
// IUnknown and that interface only. The count is interlocked because the
// control may call some objects (the options, say) from a thread of its own.
template <class Interface>
class ComObjectBase : public Interface {
public:
    ComObjectBase(const ComObjectBase&) = delete;
    ComObjectBase& operator=(const ComObjectBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(Interface)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&references_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    ComObjectBase() = default;
    virtual ~ComObjectBase() = default;

private:
    LONG references_ = 1;
};

// A handler object whose Invoke forwards to a plain function.
template <class Interface, class... Arguments>
class CallbackObject final : public ComObjectBase<Interface> {
public:
    using Operation = HRESULT (*)(Arguments...);

    explicit CallbackObject(Operation operation) : operation_(operation) {}

    HRESULT STDMETHODCALLTYPE Invoke(Arguments... arguments) override {
        return operation_(arguments...);
    }

private:
    Operation operation_;
};

// The callback object for one operation, holding the creator's one reference.
template <class Interface, class... Arguments>
ComPtr<Interface> MakeCallback(HRESULT (*operation)(Arguments...)) {
    ComPtr<Interface> callback;
    *callback.ReleaseAndGetAddressOf() = new CallbackObject<Interface, Arguments...>(operation);
    return callback;
}

// A handler object whose Invoke forwards to a plain function, handing it the
// context it was made with first. The context must outlive the object.
template <class Interface, class Context, class... Arguments>
class ContextCallbackObject final : public ComObjectBase<Interface> {
public:
    using Operation = HRESULT (*)(Context*, Arguments...);

    ContextCallbackObject(Context* context, Operation operation)
        : context_(context), operation_(operation) {}

    HRESULT STDMETHODCALLTYPE Invoke(Arguments... arguments) override {
        return operation_(context_, arguments...);
    }

private:
    Context* context_;
    Operation operation_;
};

template <class Interface, class Context, class... Arguments>
ComPtr<Interface> MakeCallback(Context* context, HRESULT (*operation)(Context*, Arguments...)) {
    ComPtr<Interface> callback;
    *callback.ReleaseAndGetAddressOf() =
        new ContextCallbackObject<Interface, Context, Arguments...>(context, operation);
    return callback;
}

// Owns a text that a COM call allocated with CoTaskMemAlloc and frees it with
// CoTaskMemFree, used or not.
class CoTaskMemString {
public:
    CoTaskMemString() = default;
    ~CoTaskMemString() { CoTaskMemFree(text_); }
    CoTaskMemString(const CoTaskMemString&) = delete;
    CoTaskMemString& operator=(const CoTaskMemString&) = delete;

    // The out-parameter for the call that fills it; frees any earlier text.
    LPWSTR* Put() {
        CoTaskMemFree(text_);
        text_ = nullptr;
        return &text_;
    }
    const wchar_t* Get() const { return text_; }
    explicit operator bool() const { return text_ != nullptr; }
    // A copy of the text; empty when there is none.
    std::wstring Copy() const { return text_ ? std::wstring(text_) : std::wstring(); }

private:
    LPWSTR text_ = nullptr;
};

// A CoTaskMemAlloc'ed copy of a text, for getters that hand texts out.
inline HRESULT CopyToCoTaskMem(const wchar_t* text, LPWSTR* out) {
    if (!out) return E_POINTER;
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*out) return E_OUTOFMEMORY;
    memcpy(*out, text, bytes);
    return S_OK;
}
