// chrome.webview.postMessage for pages on the Linux host. The page's own
// world gets the function; it hands the text to a script of an isolated
// world, injected into the top frame only, which alone can reach the host's
// message handlers. So frames of other sites can't post, and the page can't
// reach or fake the host's side of the channel.
//
// window.close() in the app's pages posts the message {"type":"close"} the
// same way: the engine lets a script close only a window that has shown a
// single document, so an app that had moved to its second page could never
// end itself.
#pragma once

#include <webkit2/webkit2.h>

#include <string>

// The world of the host's own scripts and handlers.
constexpr char BridgeWorldName[] = "lanternshell";
// Handler of the page's message texts (strings only).
constexpr char PageMessageHandlerName[] = "lanternshellPageMessage";
// Handler told when a document of the top frame has loaded its content.
constexpr char DocumentLoadedHandlerName[] = "lanternshellDocumentLoaded";

// Adds both scripts and registers the handlers on manager; connect to
// "script-message-received::<name>" for each.
void InstallPageBridge(WebKitUserContentManager* manager);

// The message's text when the page posted a string, else false.
bool ReadMessageText(WebKitJavascriptResult* result, std::string& text);
