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

#include "platform/json_lookup.h"
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
// (Booleans and texts: GetBoolOr and GetStringOr of platform/json_lookup.h.)
// The member object of that name, or an empty object.
nlohmann::json Section(const nlohmann::json& object, const char* key);
// Scenario key "refuse": call names (a slot's name without its interface,
// "put_Bounds", "Navigate", ...) each with the HRESULT the call answers
// instead of doing its work. S_OK for a call not named there.
HRESULT Refusal(const char* call);
// What an add_ slot of object answers, recorded: E_INVALIDARG without a
// handler, else the scenario's refusal of "add_" + event.
HRESULT AddHandlerAnswer(const char* object, const std::string& event, const void* handler,
                         const EventRegistrationToken* token);
// Records a QueryInterface of object that answered hr: by name for newest,
// as "other" for anything but IUnknown and base.
void RecordQuery(const char* object, REFIID iid, REFIID newest, const char* newestName, REFIID base,
                 HRESULT hr);

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

// The queries both header collections answer, over a list of headers; with
// a label, each is recorded as "<label>.<call> ...".
template <class Interface>
class HeaderList : public TestComObject<Interface> {
public:
    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override {
        if (!value) return E_POINTER;
        *value = nullptr;
        HRESULT hr = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
        for (const auto& header : *list_)
            if (SameName(header.name, name)) {
                hr = CopyOut(header.value, value);
                break;
            }
        Note("GetHeader name=" + Quote(name) + " -> " + Hex(hr) + " value=" + Quote(*value));
        return hr;
    }
    HRESULT STDMETHODCALLTYPE
    GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** value) override {
        if (!value) return E_POINTER;
        std::vector<Header> matching;
        for (const auto& header : *list_)
            if (SameName(header.name, name)) matching.push_back(header);
        Note("GetHeaders name=" + Quote(name) +
             " -> 0x00000000 count=" + std::to_string(matching.size()));
        *value = MakeHeaderIterator(std::move(matching)).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* value) override {
        if (!value) return E_POINTER;
        *value = FALSE;
        for (const auto& header : *list_)
            if (SameName(header.name, name)) *value = TRUE;
        Note("Contains name=" + Quote(name) + " -> 0x00000000 value=" + Flag(*value));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetIterator(ICoreWebView2HttpHeadersCollectionIterator** value) override {
        if (!value) return E_POINTER;
        Note("GetIterator -> 0x00000000");
        *value = MakeHeaderIterator(*list_).Detach();
        return S_OK;
    }

protected:
    HeaderList(const char* label, std::vector<Header>* list) : label_(label), list_(list) {}
    void Note(const std::string& line) const {
        if (label_) Record(std::string(label_) + "." + line);
    }
    std::vector<Header>& list() { return *list_; }

private:
    const char* label_;
    std::vector<Header>* list_;
};

// The browser process of a runtime without ICoreWebView2Environment5: a
// suspended process the double starts when the host asks for its id, and
// ends when the controller is closed (after scenario "browserExit"
// "delayMs", default 50; "never": true leaves it until this library
// detaches). 0 when it could not be started.
DWORD StartBrowserProcess();
// The controller was closed: the browser process ends as the scenario says;
// exited runs when it has (nothing for "never").
void BrowserClosing(const std::function<void()>& exited);
void EndBrowserProcess();

// The controller's AcceleratorKeyPressed handlers, raised by the view's
// scenario events; a released controller's go with it.
void AddKeyHandler(ICoreWebView2Controller* controller,
                   ICoreWebView2AcceleratorKeyPressedEventHandler* handler);
void DropKeyHandlers(ICoreWebView2Controller* controller);
struct KeyHandler {
    ICoreWebView2Controller* controller;
    ComPtr<ICoreWebView2AcceleratorKeyPressedEventHandler> handler;
};
std::vector<KeyHandler> KeyHandlers();

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
// An object handed out with a reference of its own (none: null), recorded
// as "<call> -> 0x00000000 <field>=object|null".
template <class T>
HRESULT GiveObject(const std::string& call, T** out, T* object, const char* field) {
    if (!out) return E_POINTER;
    *out = object;
    if (object) object->AddRef();
    Record(call + " -> 0x00000000 " + field + "=" + Object(object));
    return S_OK;
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

// Every object of the double: heap objects, counted atomically.
template <class Interface>
using ComObject = TestComObject<Interface>;

}  // namespace browser_double
