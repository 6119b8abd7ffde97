// Scripts the hosts run in the page, kept in one place so both hosts run the
// same text and the browser suite can run the very text a host adds.
#pragma once

#include <string>
#include <string_view>

#include "host/page_log.h"

// Makes window.close() in the app's own top-level page (its origin is
// origin, with its final slash) post {"type":"close"} through
// chrome.webview.postMessage, so the host quits as for the page's close
// request: the browser refuses window.close() once the page has navigated.
// Frames and pages of other origins keep the browser's own window.close.
std::wstring CloseScript(std::wstring_view origin);

// Leaves the page's element fullscreen, when it has one: a fullscreen key
// that leaves the window's fullscreen leaves the element's too.
constexpr const wchar_t* ExitElementFullscreenScript =
    L"document.fullscreenElement && document.exitFullscreen()";

// Posts the app's own top-level page's errors as "page-log" messages (see
// PageLog): uncaught errors, unhandled rejections, the page's elements that
// failed to load (script, style, image, media, from any origin),
// console.error and console.warn, and in mode All console.log and
// console.info, each within PageLogTextLimit units and PageLogLineLimit
// lines in windowMs. Places are paths under origin ("/js/game.js:12:7"),
// or the full address of another origin. Frames and pages of other origins
// post nothing: the host hears the top-level page alone. Empty in mode Off.
// windowMs is the host's window; the browser suite gives a shorter one.
std::wstring PageLogScript(std::wstring_view origin, PageLogMode mode,
                           int windowMs = PageLogWindowMs);
