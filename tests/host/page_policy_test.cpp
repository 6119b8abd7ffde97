// The host's decisions on page URIs: which ones count as the app's own, and
// which new-window requests may leave through the shell.
#include "host/page_policy.h"
#include "server/origin.h"
#include "server/router.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct UriCase {
    std::wstring uri;
    bool appOrigin;  // one of the app's own pages
    bool opens;      // a new window for it goes to the user's default program
};

template <size_t N>
void ExpectDecisions(std::wstring_view origin, const UriCase (&cases)[N]) {
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.uri);
        EXPECT_EQ(IsAppOriginUri(c.uri, origin), c.appOrigin);
        EXPECT_EQ(OpensInShell(c.uri, origin), c.opens);
    }
}

// The app's pages are an exact, case-sensitive prefix; only web and mail
// links outside them, in any spelling of the app origin, go to the shell.
TEST(PagePolicy, AppPagesAreAnExactPrefixAndOnlyWebAndMailLinksLeave) {
    const UriCase cases[] = {
        {L"https://lanternshell.localhost/", true, false},
        {L"https://lanternshell.localhost/index.html", true, false},
        {L"https://lanternshell.localhost/help.html", true, false},
        {L"https://lanternshell.localhost/game/start.html?level=2#top", true, false},
        {L"https://lanternshell.localhost//x", true, false},
        // No final slash, so a longer host can't pass for the app's.
        {L"https://lanternshell.localhost", false, true},
        {L"https://lanternshell.localhost.evil.example/", false, true},
        {L"https://lanternshell.localhostx/", false, true},
        {L"https://lanternshell.localhost:8080/", false, true},
        {L"http://lanternshell.localhost/", false, true},
        {L"https://evil.example/https://lanternshell.localhost/", false, true},
        {L"https://user@lanternshell.localhost/", false, true},
        // The app's own pages mean nothing outside the host, in any spelling.
        {L"HTTPS://lanternshell.localhost/", false, false},
        {L"https://Lanternshell.localhost/", false, false},
        {L"HTTPS://LANTERNSHELL.LOCALHOST/help.html", false, false},
        // Web and mail addresses, the scheme in any case.
        {L"https://example.com/", false, true},
        {L"http://example.com/page?q=1#x", false, true},
        {L"mailto:someone@example.com?subject=Hi%20there", false, true},
        {L"mailto:someone@example.com?subject=Hi there", false, true},
        {L"HTTPS://EXAMPLE.COM/", false, true},
        {L"Http://example.com/", false, true},
        {L"MailTo:someone@example.com", false, true},
        // Another site on the localhost domain is still a web address.
        {L"https://other.localhost/", false, true},
        {L"https://lanternshell.localhost.example.com/", false, true},
        // Schemes that reach local programs, files or handlers.
        {L"file:///C:/Windows/System32/calc.exe", false, false},
        {L"FILE:///C:/Windows/System32/calc.exe", false, false},
        {L"\\\\server\\share\\setup.exe", false, false},
        {L"C:\\Windows\\System32\\calc.exe", false, false},
        {L"calc.exe", false, false},
        {L"javascript:alert(1)", false, false},
        {L"ms-settings:display", false, false},
        {L"steam://run/1", false, false},
        {L"about:blank", false, false},
        {L"data:text/html,hi", false, false},
        {L"data:text/html,https://lanternshell.localhost/", false, false},
        {L"blob:https://lanternshell.localhost/1234", false, false},
        {L"ftp://example.com/", false, false},
        {L"httpx://example.com/", false, false},
        {L"https+x://example.com/", false, false},
        {L"mailto", false, false},
        {L"", false, false},
        {L"h", false, false},
        // Lookalikes of an allowed scheme or of the app origin.
        {L" https://example.com/", false, false},
        {L" https://lanternshell.localhost/", false, false},
        {L"https%3A//lanternshell.localhost/", false, false},
        {L"https ://example.com/", false, false},
        {L"xhttps://example.com/", false, false},
        {L"https\t://example.com/", false, false},
        // Texts that could end the quoted argument a handler receives.
        {L"https://example.com/\" --load-extension=C:\\x \"", false, false},
        {L"mailto:a@example.com?body=\"", false, false},
        {L"https://example.com/\r\nx", false, false},
        {L"https://example.com/\x7f", false, false},
        {std::wstring(L"https://example.com/\0.exe", 25), false, false},
        // An embedded terminator is part of the text, not its end.
        {std::wstring(L"https://lanternshell.local\0host/", 32), false, false},
    };
    ExpectDecisions(AppOrigin, cases);
}

// The Linux host's origin has a scheme of its own; the same rules apply to
// it, and the other host's origin is just another address there.
TEST(PagePolicy, TheRulesFollowTheOriginGiven) {
    const UriCase cases[] = {
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
    ExpectDecisions(L"lanternshell://app/", cases);
}

}  // namespace
