// Web resource requests as the stand-in runtime raises them, and the responses a handler gives
// back. The runtime DLL uses these; a test can also call a request handler in-process with them.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "com_support.h"

namespace vandrel::testruntime {

// Request headers in order, as name and value.
using HeaderList = std::vector<std::pair<std::wstring, std::wstring>>;

// The event arguments of one request: the request has `uri`, `method` and `headers`, the resource
// context is `context`, and no response is set yet.
Ref<ICoreWebView2WebResourceRequestedEventArgs> MakeWebResourceRequestedArgs(
    const std::wstring& uri, const HeaderList& headers = {}, const std::wstring& method = L"GET",
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context = COREWEBVIEW2_WEB_RESOURCE_CONTEXT_DOCUMENT);

// ICoreWebView2Environment::CreateWebResourceResponse as the runtime answers it: the response
// keeps a reference to `content` (may be null) and the header text exactly as given.
HRESULT CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                  LPCWSTR headers, ICoreWebView2WebResourceResponse** response);

// An environment whose only working method is CreateWebResourceResponse (the others answer
// E_NOTIMPL), for calling a request handler in-process.
Ref<ICoreWebView2Environment> MakeResponseEnvironment();

// What a handler put on the event arguments.
struct ResponseSeen {
    bool responded = false;  // a response was set
    int status = 0;
    std::wstring reason;
    // The header text given to CreateWebResourceResponse; empty for a response that the runtime
    // did not make.
    std::wstring headers;
    bool hasBody = false;  // the response has a content stream
    bool agile = false;    // that stream answers IAgileObject
    std::string body;      // every byte read from that stream, from its position on
    Ref<IStream> content;  // the stream itself
};

// Every byte of `stream` from its position to its end, read as the runtime reads: Read until it
// gives nothing or fails.
std::string ReadToEnd(IStream* stream);

// Reads the response set on `args`. Its body stream is read to the end on a thread of its own, as
// the runtime does; the calling thread goes on dispatching its messages meanwhile.
ResponseSeen ReadResponse(ICoreWebView2WebResourceRequestedEventArgs* args);

}  // namespace vandrel::testruntime
