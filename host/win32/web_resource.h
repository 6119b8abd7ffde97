// The glue between the content server and the browser control: one request
// event in, the router's answer set on it as the control's response.
#pragma once

#include "platform/win32/webview2.h"
#include "server/router.h"

// The answer as a response object created on environment: status, reason
// phrase, header text and body stream (none when the answer has no body).
// Null when the environment cannot create one.
HRESULT CreateResponseForAnswer(ICoreWebView2Environment* environment, const Answer& answer,
                                ICoreWebView2WebResourceResponse** response);

// Routes the request of one event through server (its URI and, when present, its Range
// header) and sets the response on the event before returning. A request
// without a URI gets the router's answer for an empty one, a 404, so that
// nothing under the app origin ever reaches the network. A response the
// environment can't create, or the event refuses, goes to the server's log.
void AnswerWebResourceRequest(ContentServer& server, ICoreWebView2Environment* environment,
                              ICoreWebView2WebResourceRequestedEventArgs* args);
