#include "win32/util/trace.h"

#include <cstdio>
#include <mutex>

#include "win32/util/text.h"

namespace vandrel {

namespace {

std::mutex& SinkLock() {
    static std::mutex lock;
    return lock;
}

std::function<void(const std::wstring&)>& Sink() {
    static std::function<void(const std::wstring&)> sink;
    return sink;
}

bool TracingOn() {
#ifndef NDEBUG
    return true;
#else
    static const bool on = [] {
        wchar_t value[8] = {};
        const DWORD n = GetEnvironmentVariableW(L"VANDREL_TRACE", value, 8);
        return n > 0 && !(n == 1 && value[0] == L'0');
    }();
    return on;
#endif
}

std::function<void(const char*, unsigned long)>& Listener() {
    static std::function<void(const char*, unsigned long)> listener;
    return listener;
}

void Write(const char* call, unsigned long code) {
    {
        std::lock_guard<std::mutex> guard(SinkLock());
        if (Listener()) {
            Listener()(call, code);
        }
    }
    const std::wstring text =
        Utf8ToWide(std::string("vandrel: ") + call + " failed (" + CodeText(code) + ")\n");
    std::lock_guard<std::mutex> guard(SinkLock());
    if (Sink()) {
        Sink()(text);
    } else if (TracingOn()) {
        OutputDebugStringW(text.c_str());
    }
}

}  // namespace

std::string CodeText(unsigned long code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", code);
    return text;
}

HRESULT Traced(HRESULT result, const char* call) {
    if (FAILED(result)) {
        Write(call, static_cast<unsigned long>(result));
    }
    return result;
}

void TraceFailure(const char* call) {
    Write(call, GetLastError());
}

void SetTraceListener(std::function<void(const char* call, unsigned long code)> listener) {
    std::lock_guard<std::mutex> guard(SinkLock());
    Listener() = std::move(listener);
}

void SetTraceSinkForTesting(std::function<void(const std::wstring&)> sink) {
    std::lock_guard<std::mutex> guard(SinkLock());
    Sink() = std::move(sink);
}

}  // namespace vandrel
