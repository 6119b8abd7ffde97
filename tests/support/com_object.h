// The one COM object base of the Windows tests and of the browser control's
// double. The product's ComObjectBase answers for one interface and always
// deletes itself; test objects also answer for the interfaces they derive
// from (Answers), and stack objects must outlive their last release so a test
// can read the count back.
#pragma once

#include <atomic>
#include <utility>

#include "platform/win32/com.h"

template <class Interface>
class TestComObject : public Interface {
public:
    TestComObject(const TestComObject&) = delete;
    TestComObject& operator=(const TestComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != __uuidof(IUnknown) && !Answers(iid)) return E_NOINTERFACE;
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0 && onHeap_) delete this;
        return left;
    }

    // Atomic: a host may hand streams or responses to other threads.
    std::atomic<ULONG> references{1};

protected:
    explicit TestComObject(bool onHeap = true) : onHeap_(onHeap) {}
    virtual ~TestComObject() = default;
    virtual bool Answers(REFIID iid) { return iid == __uuidof(Interface); }
    // What LS_UNCALLED slots answer unless the class says otherwise.
    static HRESULT Uncalled(const char*) { return E_NOTIMPL; }

private:
    const bool onHeap_;
};

// A stack object standing in for one control object: nothing deletes it, so
// a test can check that a handler gave back every reference it took.
template <class Interface>
class Fake : public TestComObject<Interface> {
public:
    Fake() : TestComObject<Interface>(false) {}
};

// Slots a test object never expects to be called: each answers what the
// class's static Uncalled(name) answers (E_NOTIMPL unless the class records
// the call, as the double's do). Parameters are given by type only.
#define LS_UNCALLED(Name, ...)                             \
    HRESULT STDMETHODCALLTYPE Name(__VA_ARGS__) override { \
        return Uncalled(#Name);                            \
    }
#define LS_UNCALLED_EVENT(Name, Handler)                       \
    LS_UNCALLED(add_##Name, Handler*, EventRegistrationToken*) \
    LS_UNCALLED(remove_##Name, EventRegistrationToken)

// A new heap object holding its creator's one reference.
template <class T, class... A>
ComPtr<T> Make(A&&... arguments) {
    ComPtr<T> object;
    *object.GetAddressOf() = new T(std::forward<A>(arguments)...);
    return object;
}
