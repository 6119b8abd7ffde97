// Shared pieces of the browser control test double: the scenario, the
// transcript, COM object plumbing and the UI-thread scheduler that delivers
// completions and events through the host's own message loop.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/webview2.h"
#include "tests/support/com_object.h"
#include "tests/support/transcript.h"

namespace browser_double {

// This DLL's folder, with a trailing backslash: the scenario and the
// transcript lie there.
std::wstring OwnFolder();

// Transcript notation: texts in double quotes with escapes (null when
// absent), raw bytes likewise, HRESULTs as 0x%08X, pointers as object/null.
// (QuoteBytes, Hex: see tests/support/transcript.h.)
std::string Quote(const wchar_t* text);
std::string Object(const void* pointer);
inline std::string Flag(BOOL value) {
    return value ? "1" : "0";
}
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

// A getter's answer, recorded as "<call> -> 0x00000000 value=<shown>".
template <class T>
HRESULT Answer(const std::string& call, T* out, T value, const std::string& shown) {
    if (!out) return E_POINTER;
    *out = value;
    Record(call + " -> 0x00000000 value=" + shown);
    return S_OK;
}
inline HRESULT Answer(const std::string& call, BOOL* out, BOOL value) {
    return Answer(call, out, value, Flag(value));
}
// A decision the host puts, which the scenario may refuse (see Refusal):
// recorded as "<call> value=<shown> -> <result>".
template <class T>
HRESULT Decide(const std::string& owner, const char* call, T* field, T value,
               const std::string& shown) {
    const HRESULT hr = Refusal(call);
    if (SUCCEEDED(hr)) *field = value;
    Record(owner + "." + call + " value=" + shown + " -> " + Hex(hr));
    return hr;
}

// An event the host never registers, answered as not implemented by the
// class's own Uncalled.
#define LS_UNCALLED_EVENT(Name, Handler)                                               \
    HRESULT STDMETHODCALLTYPE add_##Name(Handler*, EventRegistrationToken*) override { \
        return Uncalled("add_" #Name);                                                 \
    }                                                                                  \
    HRESULT STDMETHODCALLTYPE remove_##Name(EventRegistrationToken) override {         \
        return Uncalled("remove_" #Name);                                              \
    }

// Every object of the double: heap objects, counted atomically.
template <class Interface>
using ComObject = TestComObject<Interface>;

}  // namespace browser_double
