// The host's decisions on page URIs: which ones count as the app's own, and
// which new-window requests may leave through the shell.
#include "host/page_policy.h"
#include "server/origin.h"
#include "server/router.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PagePolicy, AppOriginIsAnExactCaseSensitivePrefix) {
    const struct {
        std::wstring uri;
        bool appOrigin;
    } cases[] = {
        {L"https://lanternshell.localhost/", true},
        {L"https://lanternshell.localhost/index.html", true},
        {L"https://lanternshell.localhost/game/start.html?level=2#top", true},
        {L"https://lanternshell.localhost//x", true},
        // No final slash, so a longer host can't pass for the app's.
        {L"https://lanternshell.localhost", false},
        {L"https://lanternshell.localhost.evil.example/", false},
        {L"https://lanternshell.localhostx/", false},
        {L"https://lanternshell.localhost:8080/", false},
        {L"http://lanternshell.localhost/", false},
        {L"HTTPS://lanternshell.localhost/", false},
        {L"https://Lanternshell.localhost/", false},
        {L"https://evil.example/https://lanternshell.localhost/", false},
        {L" https://lanternshell.localhost/", false},
        {L"https%3A//lanternshell.localhost/", false},
        {L"https://user@lanternshell.localhost/", false},
        {L"data:text/html,https://lanternshell.localhost/", false},
        {L"about:blank", false},
        {L"", false},
        {L"h", false},
        // An embedded terminator is part of the text, not its end.
        {std::wstring(L"https://lanternshell.local\0host/", 32), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.uri);
        EXPECT_EQ(IsAppOriginUri(c.uri, AppOrigin), c.appOrigin);
    }
}

TEST(PagePolicy, OnlyWebAndMailLinksOutsideTheAppGoToTheShell) {
    const struct {
        std::wstring uri;
        bool opens;
    } cases[] = {
        {L"https://example.com/", true},
        {L"http://example.com/page?q=1#x", true},
        {L"mailto:someone@example.com?subject=Hi%20there", true},
        {L"mailto:someone@example.com?subject=Hi there", true},
        {L"HTTPS://EXAMPLE.COM/", true},
        {L"Http://example.com/", true},
        {L"MailTo:someone@example.com", true},
        // Another site on the localhost domain is still a web address.
        {L"https://other.localhost/", true},
        {L"https://lanternshell.localhost.example.com/", true},
        // The app's own pages mean nothing outside the host, in any spelling.
        {L"https://lanternshell.localhost/", false},
        {L"https://lanternshell.localhost/help.html", false},
        {L"HTTPS://LANTERNSHELL.LOCALHOST/help.html", false},
        // Schemes that reach local programs, files or handlers.
        {L"file:///C:/Windows/System32/calc.exe", false},
        {L"FILE:///C:/Windows/System32/calc.exe", false},
        {L"\\\\server\\share\\setup.exe", false},
        {L"C:\\Windows\\System32\\calc.exe", false},
        {L"calc.exe", false},
        {L"javascript:alert(1)", false},
        {L"ms-settings:display", false},
        {L"steam://run/1", false},
        {L"about:blank", false},
        {L"data:text/html,hi", false},
        {L"blob:https://lanternshell.localhost/1234", false},
        {L"ftp://example.com/", false},
        {L"httpx://example.com/", false},
        {L"https+x://example.com/", false},
        {L"mailto", false},
        {L"", false},
        // Lookalikes of an allowed scheme.
        {L" https://example.com/", false},
        {L"https ://example.com/", false},
        {L"xhttps://example.com/", false},
        {L"https\t://example.com/", false},
        // Texts that could end the quoted argument a handler receives.
        {L"https://example.com/\" --load-extension=C:\\x \"", false},
        {L"mailto:a@example.com?body=\"", false},
        {L"https://example.com/\r\nx", false},
        {L"https://example.com/\x7f", false},
        {std::wstring(L"https://example.com/\0.exe", 25), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.uri);
        EXPECT_EQ(OpensInShell(c.uri, AppOrigin), c.opens);
    }
}

// The Linux host's origin has a scheme of its own; the same rules apply to
// it, and the other host's origin is just another address there.
TEST(PagePolicy, TheRulesFollowTheOriginGiven) {
    constexpr std::wstring_view origin = L"lanternshell://app/";
    const struct {
        std::wstring uri;
        bool appOrigin;
        bool opens;
    } cases[] = {
        {L"lanternshell://app/", true, false},
        {L"lanternshell://app/index.html?x=1", true, false},
        {L"lanternshell://app", false, false},
        {L"lanternshell://apps/", false, false},
        {L"LanternShell://APP/index.html", false, false},
        {L"lanternshell://other/", false, false},
        {L"https://lanternshell.localhost/", false, true},
        {L"https://example.com/", false, true},
        {L"mailto:a@example.com", false, true},
        {L"file:///etc/passwd", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.uri);
        EXPECT_EQ(IsAppOriginUri(c.uri, origin), c.appOrigin);
        EXPECT_EQ(OpensInShell(c.uri, origin), c.opens);
    }
}

}  // namespace
