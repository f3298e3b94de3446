#include <windows.h>

#include "web_resource.h"

#include <thread>

namespace vandrel::testruntime {

namespace {

// Answered by the responses made here, with their ICoreWebView2WebResourceResponse pointer, so
// that ReadResponse can find the header text they were made with.
constexpr IID kOwnResponse = {
    0x0694256b, 0xf6ab, 0x4abe, {0x89, 0x0d, 0x41, 0x9b, 0xbb, 0x68, 0x8a, 0x77}};

bool SameName(const std::wstring& a, LPCWSTR b) {
    return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

class HeaderIterator : public ComObject<ICoreWebView2HttpHeadersCollectionIterator,
                                        IID_ICoreWebView2HttpHeadersCollectionIterator> {
public:
    explicit HeaderIterator(HeaderList headers) : headers_(std::move(headers)) {}

    HRESULT STDMETHODCALLTYPE GetCurrentHeader(LPWSTR* name, LPWSTR* value) override {
        if (name == nullptr || value == nullptr) {
            return E_POINTER;
        }
        *name = nullptr;
        *value = nullptr;
        if (position_ >= headers_.size()) {
            return HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
        }
        CoTaskCopy(headers_[position_].first, name);
        return CoTaskCopy(headers_[position_].second, value);
    }
    HRESULT STDMETHODCALLTYPE get_HasCurrentHeader(BOOL* hasCurrent) override {
        return GiveValue<BOOL>(position_ < headers_.size(), hasCurrent);
    }
    HRESULT STDMETHODCALLTYPE MoveNext(BOOL* hasNext) override {
        if (position_ < headers_.size()) {
            ++position_;
        }
        return GiveValue<BOOL>(position_ < headers_.size(), hasNext);
    }

private:
    HeaderList headers_;
    size_t position_ = 0;
};

class RequestHeaders
    : public ComObject<ICoreWebView2HttpRequestHeaders, IID_ICoreWebView2HttpRequestHeaders> {
public:
    explicit RequestHeaders(HeaderList headers) : headers_(std::move(headers)) {}

    // The first header of that name (names compare without case); ERROR_NOT_FOUND without one.
    HRESULT STDMETHODCALLTYPE GetHeader(LPCWSTR name, LPWSTR* value) override {
        if (name == nullptr || value == nullptr) {
            return E_POINTER;
        }
        for (const auto& [key, text] : headers_) {
            if (SameName(key, name)) {
                return CoTaskCopy(text, value);
            }
        }
        *value = nullptr;
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    HRESULT STDMETHODCALLTYPE
    GetHeaders(LPCWSTR name, ICoreWebView2HttpHeadersCollectionIterator** value) override {
        if (name == nullptr) {
            return E_POINTER;
        }
        HeaderList matching;
        for (const auto& header : headers_) {
            if (SameName(header.first, name)) {
                matching.push_back(header);
            }
        }
        return GiveIterator(std::move(matching), value);
    }
    HRESULT STDMETHODCALLTYPE Contains(LPCWSTR name, BOOL* value) override {
        if (name == nullptr) {
            return E_POINTER;
        }
        bool found = false;
        for (const auto& header : headers_) {
            found = found || SameName(header.first, name);
        }
        return GiveValue<BOOL>(found, value);
    }
    HRESULT STDMETHODCALLTYPE SetHeader(LPCWSTR name, LPCWSTR value) override {
        if (name == nullptr || value == nullptr) {
            return E_POINTER;
        }
        RemoveHeader(name);
        headers_.emplace_back(name, value);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RemoveHeader(LPCWSTR name) override {
        if (name == nullptr) {
            return E_POINTER;
        }
        std::erase_if(headers_,
                      [name](const auto& header) { return SameName(header.first, name); });
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE
    GetIterator(ICoreWebView2HttpHeadersCollectionIterator** value) override {
        return GiveIterator(headers_, value);
    }

private:
    static HRESULT GiveIterator(HeaderList headers,
                                ICoreWebView2HttpHeadersCollectionIterator** value) {
        auto iterator = Ref<ICoreWebView2HttpHeadersCollectionIterator>::Adopt(
            new HeaderIterator(std::move(headers)));
        return GiveOut(iterator.Get(), value);
    }

    HeaderList headers_;
};

class Request
    : public ComObject<ICoreWebView2WebResourceRequest, IID_ICoreWebView2WebResourceRequest> {
public:
    Request(std::wstring uri, std::wstring method, const HeaderList& headers)
        : uri_(std::move(uri)),
          method_(std::move(method)),
          headers_(Ref<ICoreWebView2HttpRequestHeaders>::Adopt(new RequestHeaders(headers))) {}

    HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) override { return CoTaskCopy(uri_, uri); }
    HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR uri) override { return Set(uri, uri_); }
    HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) override {
        return CoTaskCopy(method_, method);
    }
    HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR method) override { return Set(method, method_); }
    // Requests made here carry no body.
    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override {
        return GiveOut<IStream>(nullptr, content);
    }
    HRESULT STDMETHODCALLTYPE put_Content(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpRequestHeaders** headers) override {
        return GiveOut(headers_.Get(), headers);
    }

private:
    static HRESULT Set(LPCWSTR value, std::wstring& field) {
        if (value == nullptr) {
            return E_POINTER;
        }
        field = value;
        return S_OK;
    }

    std::wstring uri_;
    std::wstring method_;
    Ref<ICoreWebView2HttpRequestHeaders> headers_;
};

class Response
    : public ComObject<ICoreWebView2WebResourceResponse, IID_ICoreWebView2WebResourceResponse> {
public:
    Response(IStream* content, int status, std::wstring reason, std::wstring headers)
        : content_(Ref<IStream>::Share(content)),
          status_(status),
          reason_(std::move(reason)),
          headers_(std::move(headers)) {}

    const std::wstring& HeaderText() const { return headers_; }

    HRESULT STDMETHODCALLTYPE get_Content(IStream** content) override {
        return GiveOut(content_.Get(), content);
    }
    HRESULT STDMETHODCALLTYPE put_Content(IStream* content) override {
        content_ = Ref<IStream>::Share(content);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Headers(ICoreWebView2HttpResponseHeaders**) override {
        return E_NOTIMPL;
    }
    VANDREL_KEPT_PROPERTY(StatusCode, int, status_)
    HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* reasonPhrase) override {
        return CoTaskCopy(reason_, reasonPhrase);
    }
    HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reasonPhrase) override {
        if (reasonPhrase == nullptr) {
            return E_POINTER;
        }
        reason_ = reasonPhrase;
        return S_OK;
    }

private:
    bool Answers(REFIID iid) override { return iid == kOwnResponse || ComObject::Answers(iid); }

    Ref<IStream> content_;
    int status_;
    std::wstring reason_;
    std::wstring headers_;
};

class RequestedArgs : public ComObject<ICoreWebView2WebResourceRequestedEventArgs,
                                       IID_ICoreWebView2WebResourceRequestedEventArgs> {
public:
    RequestedArgs(Ref<ICoreWebView2WebResourceRequest> request,
                  COREWEBVIEW2_WEB_RESOURCE_CONTEXT context)
        : request_(std::move(request)), context_(context) {}

    HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) override {
        return GiveOut(request_.Get(), request);
    }
    HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) override {
        return GiveOut(response_.Get(), response);
    }
    HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) override {
        response_ = Ref<ICoreWebView2WebResourceResponse>::Share(response);
        return S_OK;
    }
    // The runtime reads the response when the handlers return; it offers no deferral.
    HRESULT STDMETHODCALLTYPE GetDeferral(ICoreWebView2Deferral**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE
    get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) override {
        return GiveValue(context_, context);
    }

private:
    Ref<ICoreWebView2WebResourceRequest> request_;
    Ref<ICoreWebView2WebResourceResponse> response_;
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context_;
};

class ResponseEnvironment
    : public ComObject<ICoreWebView2Environment, IID_ICoreWebView2Environment> {
public:
    HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(
        IStream* content, int statusCode, LPCWSTR reasonPhrase, LPCWSTR headers,
        ICoreWebView2WebResourceResponse** response) override {
        return testruntime::CreateWebResourceResponse(content, statusCode, reasonPhrase, headers,
                                                      response);
    }
    HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(
        ICoreWebView2NewBrowserVersionAvailableEventHandler*, EventRegistrationToken*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken) override {
        return E_NOTIMPL;
    }
};

}  // namespace

Ref<ICoreWebView2WebResourceRequestedEventArgs> MakeWebResourceRequestedArgs(
    const std::wstring& uri, const HeaderList& headers, const std::wstring& method,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) {
    auto request = Ref<ICoreWebView2WebResourceRequest>::Adopt(new Request(uri, method, headers));
    return Ref<ICoreWebView2WebResourceRequestedEventArgs>::Adopt(
        new RequestedArgs(std::move(request), context));
}

HRESULT CreateWebResourceResponse(IStream* content, int statusCode, LPCWSTR reasonPhrase,
                                  LPCWSTR headers, ICoreWebView2WebResourceResponse** response) {
    if (response == nullptr) {
        return E_POINTER;
    }
    *response = new Response(content, statusCode, reasonPhrase != nullptr ? reasonPhrase : L"",
                             headers != nullptr ? headers : L"");
    return S_OK;
}

Ref<ICoreWebView2Environment> MakeResponseEnvironment() {
    return Ref<ICoreWebView2Environment>::Adopt(new ResponseEnvironment());
}

ResponseSeen ReadResponse(ICoreWebView2WebResourceRequestedEventArgs* args) {
    ResponseSeen seen;
    Ref<ICoreWebView2WebResourceResponse> response;
    if (args == nullptr || FAILED(args->get_Response(response.Put())) || !response) {
        return seen;
    }
    seen.responded = true;
    response->get_StatusCode(&seen.status);
    LPWSTR reason = nullptr;
    if (SUCCEEDED(response->get_ReasonPhrase(&reason)) && reason != nullptr) {
        seen.reason = reason;
    }
    CoTaskMemFree(reason);
    Ref<ICoreWebView2WebResourceResponse> own;
    if (SUCCEEDED(response->QueryInterface(kOwnResponse, reinterpret_cast<void**>(own.Put())))) {
        seen.headers = static_cast<Response*>(own.Get())->HeaderText();
    }
    if (FAILED(response->get_Content(seen.content.Put())) || !seen.content) {
        return seen;
    }
    seen.hasBody = true;
    Ref<IUnknown> agile;
    seen.agile = SUCCEEDED(
        seen.content->QueryInterface(IID_IAgileObject, reinterpret_cast<void**>(agile.Put())));
    // The reader thread gets the stream pointer as it is, unmarshalled, as the runtime's does.
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread reader([&seen, done] {
        seen.body = ReadToEnd(seen.content.Get());
        SetEvent(done);
    });
    while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    reader.join();
    CloseHandle(done);
    return seen;
}

std::string ReadToEnd(IStream* stream) {
    std::string bytes;
    char buffer[4096];
    ULONG read = 0;
    while (SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

}  // namespace vandrel::testruntime
