// The environment options object the host hands to the loader: its
// interfaces, its defaults and the texts its getters hand out.
#include "host/win32/environment_options.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/harness.h"

namespace {

// An options interface of a later release, which the host doesn't offer.
const IID LaterOptionsIid = {
    0xff85c98a, 0x1ba7, 0x4a6b, {0x90, 0xc8, 0x2b, 0x75, 0x2c, 0x89, 0xe9, 0xe2}};

std::wstring Text(HRESULT (STDMETHODCALLTYPE ICoreWebView2EnvironmentOptions::*get)(LPWSTR*),
                  ICoreWebView2EnvironmentOptions* options) {
    LPWSTR value = nullptr;
    EXPECT_EQ((options->*get)(&value), S_OK);
    EXPECT_NE(value, nullptr);
    if (!value) return L"<null>";
    std::wstring copy = value;
    CoTaskMemFree(value);
    return copy;
}

TEST(EnvironmentOptions, AnswersOnlyItsOwnInterface) {
    auto options = CreateEnvironmentOptions();
    ASSERT_TRUE(options);
    ExpectInterfaces(options.Get(),
                     {{"IUnknown", __uuidof(IUnknown), S_OK},
                      {"options", __uuidof(ICoreWebView2EnvironmentOptions), S_OK},
                      {"later options", LaterOptionsIid, E_NOINTERFACE},
                      {"environment", __uuidof(ICoreWebView2Environment), E_NOINTERFACE},
                      {"IDispatch", __uuidof(IDispatch), E_NOINTERFACE},
                      {"IMarshal", __uuidof(IMarshal), E_NOINTERFACE}});
}

TEST(EnvironmentOptions, StartsWithTheDefaultsTheHostKeeps) {
    auto options = CreateEnvironmentOptions();
    using Options = ICoreWebView2EnvironmentOptions;
    EXPECT_EQ(Text(&Options::get_AdditionalBrowserArguments, options.Get()), L"");
    EXPECT_EQ(Text(&Options::get_Language, options.Get()), L"");
    EXPECT_EQ(Text(&Options::get_TargetCompatibleBrowserVersion, options.Get()), L"113.0.1774.30");
    BOOL allow = TRUE;
    EXPECT_EQ(options->get_AllowSingleSignOnUsingOSPrimaryAccount(&allow), S_OK);
    EXPECT_EQ(allow, FALSE);
}

TEST(EnvironmentOptions, KeepsWhatIsSetAndHandsOutFreshCopies) {
    auto options = CreateEnvironmentOptions();
    using Options = ICoreWebView2EnvironmentOptions;
    const struct {
        const char* name;
        HRESULT (STDMETHODCALLTYPE Options::*put)(LPCWSTR);
        HRESULT (STDMETHODCALLTYPE Options::*get)(LPWSTR*);
    } texts[] = {
        {"arguments", &Options::put_AdditionalBrowserArguments,
         &Options::get_AdditionalBrowserArguments},
        {"language", &Options::put_Language, &Options::get_Language},
        {"version", &Options::put_TargetCompatibleBrowserVersion,
         &Options::get_TargetCompatibleBrowserVersion},
    };
    const std::wstring value = L"--autoplay-policy=no-user-gesture-required --lang=\x00e9t\x00e9";
    for (const auto& t : texts) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ((options.Get()->*t.put)(value.c_str()), S_OK);
        LPWSTR first = nullptr;
        LPWSTR second = nullptr;
        ASSERT_EQ((options.Get()->*t.get)(&first), S_OK);
        ASSERT_EQ((options.Get()->*t.get)(&second), S_OK);
        EXPECT_EQ(std::wstring(first), value);
        // Each caller owns and frees its own copy.
        EXPECT_NE(first, second);
        EXPECT_NE(first, value.c_str());
        CoTaskMemFree(first);
        EXPECT_EQ(Text(t.get, options.Get()), value);
        CoTaskMemFree(second);
        // An empty text replaces the earlier one; a null one counts as empty.
        EXPECT_EQ((options.Get()->*t.put)(L""), S_OK);
        EXPECT_EQ(Text(t.get, options.Get()), L"");
        EXPECT_EQ((options.Get()->*t.put)(L"x"), S_OK);
        EXPECT_EQ((options.Get()->*t.put)(nullptr), S_OK);
        EXPECT_EQ(Text(t.get, options.Get()), L"");
        EXPECT_EQ((options.Get()->*t.get)(nullptr), E_POINTER);
    }
    EXPECT_EQ(options->put_AllowSingleSignOnUsingOSPrimaryAccount(7), S_OK);
    BOOL allow = FALSE;
    EXPECT_EQ(options->get_AllowSingleSignOnUsingOSPrimaryAccount(&allow), S_OK);
    EXPECT_EQ(allow, TRUE);
    EXPECT_EQ(options->get_AllowSingleSignOnUsingOSPrimaryAccount(nullptr), E_POINTER);
}

TEST(EnvironmentOptions, EachObjectHasItsOwnValuesAndLivesUntilItsLastRelease) {
    auto first = CreateEnvironmentOptions();
    auto second = CreateEnvironmentOptions();
    first->put_AdditionalBrowserArguments(L"--one");
    using Options = ICoreWebView2EnvironmentOptions;
    EXPECT_EQ(Text(&Options::get_AdditionalBrowserArguments, second.Get()), L"");

    // The loader may keep a reference past the host's own.
    ICoreWebView2EnvironmentOptions* kept = first.Get();
    EXPECT_EQ(kept->AddRef(), 2u);
    first.Reset();
    EXPECT_EQ(Text(&Options::get_AdditionalBrowserArguments, kept), L"--one");
    EXPECT_EQ(kept->Release(), 0u);
}

}  // namespace
