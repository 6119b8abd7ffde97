// COM plumbing of our own: callback objects that each wrap one operation, an
// owning pointer, and an owner for texts handed out in task memory.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <unknwn.h>

#include <wrl/client.h>

#include <memory>
#include <string>
#include <utility>

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

// What handler objects reach their owner through: the owner clears it as it
// ends, so a callback that arrives later (a late completion) finds nothing.
template <class Context>
using ContextLink = std::shared_ptr<Context*>;

// A handler object whose Invoke forwards to a plain function, handing it the
// linked context first; with the context gone it does nothing.
template <class Interface, class Context, class... Arguments>
class LinkedCallbackObject final : public ComObjectBase<Interface> {
public:
    using Operation = HRESULT (*)(Context&, Arguments...);

    LinkedCallbackObject(ContextLink<Context> link, Operation operation)
        : link_(std::move(link)), operation_(operation) {}

    HRESULT STDMETHODCALLTYPE Invoke(Arguments... arguments) override {
        Context* context = *link_;
        return context ? operation_(*context, arguments...) : S_OK;
    }

private:
    const ContextLink<Context> link_;
    Operation operation_;
};

template <class Interface, class Context, class... Arguments>
ComPtr<Interface> MakeCallback(const ContextLink<Context>& link,
                               HRESULT (*operation)(Context&, Arguments...)) {
    ComPtr<Interface> callback;
    *callback.ReleaseAndGetAddressOf() =
        new LinkedCallbackObject<Interface, Context, Arguments...>(link, operation);
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
