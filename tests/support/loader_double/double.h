// Shared pieces of the browser control test double: the scenario, the
// transcript, COM object plumbing and the UI-thread scheduler that delivers
// completions and events through the host's own message loop.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/com.h"
#include "platform/win32/webview2.h"
#include "tests/support/utf8_text.h"

namespace browser_double {

// This DLL's folder, with a trailing backslash: the scenario and the
// transcript lie there.
std::wstring OwnFolder();

// Transcript notation: texts in double quotes with escapes (null when
// absent), raw bytes likewise, HRESULTs as 0x%08X, pointers as object/null.
std::string Quote(const wchar_t* text);
std::string QuoteBytes(const std::string& bytes);
std::string Hex(HRESULT value);
std::string Object(const void* pointer);
std::string Rect(const RECT& rect);

// Appends one line to the transcript and flushes it at once: the host may
// end at any point.
void Record(const std::string& line);

// The scenario as read now (every call reads it afresh, so a test may change
// it between runs); an empty object when missing or not JSON.
nlohmann::json Scenario();
// A member that may be an HRESULT given as a number or as "0x..." text.
HRESULT HresultOr(const nlohmann::json& object, const char* key, HRESULT fallback);
bool BoolOr(const nlohmann::json& object, const char* key, bool fallback);
std::wstring TextOr(const nlohmann::json& object, const char* key, const std::wstring& fallback);
// The member object of that name, or an empty object.
nlohmann::json Section(const nlohmann::json& object, const char* key);
// Scenario key "refuse": call names (a slot's name without its interface,
// "put_Bounds", "Navigate", ...) each with the HRESULT the call answers
// instead of doing its work. S_OK for a call not named there.
HRESULT Refusal(const char* call);

wchar_t* TaskMemCopy(const std::wstring& text);
HRESULT CopyOut(const std::wstring& text, LPWSTR* out);

// Runs job later on the calling thread, from its message loop: never inside
// the call that schedules it. A delay of 0 posts at once; a longer one waits
// on a timer, which the loop serves only after posted and paint messages.
void Schedule(std::function<void()> job, UINT delayMs = 0);

// What the test can't see from outside at the right moment: the window's
// visibility, styles, outer rectangle and caption, or "destroyed".
std::string ObserveWindow(HWND window);

// Reads a body stream to its end: "body.length=N body.fnv1a=X" and, for
// short bodies, the bytes themselves; "body=none" for a null stream.
std::string DescribeBody(IStream* stream);
// Keeps a body to be read after the host's teardown, when this library is
// detached from the ending process.
void DeferBodyRead(const std::string& label, IStream* stream);
void ReadDeferredBodies();

struct Header {
    std::wstring name;
    std::wstring value;
};
ComPtr<ICoreWebView2HttpHeadersCollectionIterator> MakeHeaderIterator(std::vector<Header> headers);
// Header names compare without regard to case, as in HTTP.
bool SameName(const std::wstring& a, const wchar_t* b);

// The environment of a successful creation, and the view a controller shows.
ComPtr<ICoreWebView2Environment> MakeEnvironment();
ComPtr<ICoreWebView2_2> MakeView(HWND parent, bool answersView2);
ComPtr<ICoreWebView2Settings> MakeSettings();

// Starts the asynchronous creation of the environment for both exports.
HRESULT StartEnvironmentCreation(
    PCWSTR browserExecutableFolder, PCWSTR userDataFolder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

// One COM object of the double implementing Interface (and the interfaces it
// derives from, when Answers says so). Counted with interlocking, since a
// host may hand streams or responses to other threads.
template <class Interface>
class ComObject : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == __uuidof(IUnknown) || Answers(iid)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
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
    ComObject() = default;
    virtual ~ComObject() = default;
    virtual bool Answers(REFIID iid) { return iid == __uuidof(Interface); }

private:
    LONG references_ = 1;
};

// A new object holding its creator's one reference.
template <class T, class... A>
ComPtr<T> Make(A&&... arguments) {
    ComPtr<T> object;
    *object.GetAddressOf() = new T(std::forward<A>(arguments)...);
    return object;
}

}  // namespace browser_double
