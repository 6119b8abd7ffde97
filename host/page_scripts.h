// Scripts the hosts add to every document before the page's own run, kept
// in one place so the browser suite can run the very text a host adds.
#pragma once

#include <string>
#include <string_view>

// Makes window.close() in the app's own top-level page (its origin is
// origin, with its final slash) post {"type":"close"} through
// chrome.webview.postMessage, so the host quits as for the page's close
// request: the browser refuses window.close() once the page has navigated.
// Frames and pages of other origins keep the browser's own window.close.
std::wstring CloseScript(std::wstring_view origin);
