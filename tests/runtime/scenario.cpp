// The scenario commands: each raises one event of the webview (or its controller) the way the
// runtime would, and logs what the host's handlers made of it. See README.md for the commands.
#include <windows.h>

#include <algorithm>

#include "browser.h"
#include "event_args.h"
#include "web_resource.h"

namespace vandrel::testruntime {

namespace {

// `pattern` with "*" standing for any run of characters, matched against all of `text`.
bool Matches(std::wstring_view pattern, std::wstring_view text) {
    size_t p = 0;
    size_t t = 0;
    size_t star = std::wstring_view::npos;
    size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::wstring_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xF];
    }
    return text;
}

std::wstring Text(const json& command, const char* name) {
    return Wide(command.value(name, std::string()));
}

}  // namespace

bool WebView::Filtered(const std::wstring& uri, COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) const {
    for (const auto& [pattern, filterContext] : filters_) {
        if ((filterContext == COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL || filterContext == context) &&
            Matches(pattern, uri)) {
            return true;
        }
    }
    return false;
}

std::string WebView::Play(const json& command) {
    ICoreWebView2* sender = this;
    const std::string name = command.value("cmd", "");
    if (name == "dom-content-loaded") {
        const auto args = MakeDOMContentLoadedArgs(++lastNavigationId_);
        domContentLoaded_.Raise(sender, args.Get());
    } else if (name == "navigation-completed") {
        const auto status =
            static_cast<COREWEBVIEW2_WEB_ERROR_STATUS>(command.value("webErrorStatus", 0));
        const auto args = MakeNavigationCompletedArgs(command.value("isSuccess", true), status,
                                                      lastNavigationId_);
        navigationCompleted_.Raise(sender, args.Get());
    } else if (name == "title") {
        title_ = Text(command, "title");
        documentTitleChanged_.Raise(sender, static_cast<IUnknown*>(nullptr));
    } else if (name == "navigate") {
        const std::wstring uri = Text(command, "uri");
        const auto args =
            MakeNavigationStartingArgs(uri, command.value("redirect", false), ++lastNavigationId_);
        navigationStarting_.Raise(sender, args.Get());
        BOOL cancel = FALSE;
        args->get_Cancel(&cancel);
        if (!cancel) {
            source_ = uri;
        }
        Log({{"event", "navigation-starting"}, {"uri", Utf8(uri)}, {"cancelled", cancel != FALSE}});
    } else if (name == "permission") {
        const std::wstring uri = Text(command, "uri");
        const int kind = command.value("kind", 0);
        const auto args =
            MakePermissionRequestedArgs(uri, static_cast<COREWEBVIEW2_PERMISSION_KIND>(kind));
        permissionRequested_.Raise(sender, args.Get());
        COREWEBVIEW2_PERMISSION_STATE state = COREWEBVIEW2_PERMISSION_STATE_DEFAULT;
        args->get_State(&state);
        Log({{"event", "permission"},
             {"uri", Utf8(uri)},
             {"kind", kind},
             {"state", static_cast<int>(state)}});
    } else if (name == "fullscreen") {
        containsFullScreenElement_ = command.value("on", false) ? TRUE : FALSE;
        containsFullScreenElementChanged_.Raise(sender, static_cast<IUnknown*>(nullptr));
    } else if (name == "new-window") {
        const std::wstring uri = Text(command, "uri");
        const auto args = MakeNewWindowRequestedArgs(uri);
        newWindowRequested_.Raise(sender, args.Get());
        BOOL handled = FALSE;
        args->get_Handled(&handled);
        Log({{"event", "new-window"}, {"uri", Utf8(uri)}, {"handled", handled != FALSE}});
    } else if (name == "close") {
        windowCloseRequested_.Raise(sender, static_cast<IUnknown*>(nullptr));
    } else if (name == "request") {
        const std::wstring uri = Text(command, "uri");
        const auto context = static_cast<COREWEBVIEW2_WEB_RESOURCE_CONTEXT>(
            command.value("context", static_cast<int>(COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL)));
        if (!Filtered(uri, context)) {
            Log({{"event", "response"}, {"uri", Utf8(uri)}, {"filtered", false}});
            return {};
        }
        HeaderList headers;
        const json given = command.value("headers", json::object());
        for (const auto& [header, value] : given.items()) {
            headers.emplace_back(Wide(header), Wide(value.get<std::string>()));
        }
        const auto args = MakeWebResourceRequestedArgs(
            uri, headers, Wide(command.value("method", std::string("GET"))), context);
        webResourceRequested_.Raise(sender, args.Get());
        const ResponseSeen seen = ReadResponse(args.Get());
        HoldStream(seen.content.Get(), runtime_->Options().holdStreams);
        Log({{"event", "response"},
             {"uri", Utf8(uri)},
             {"filtered", true},
             {"responded", seen.responded},
             {"status", seen.status},
             {"reason", Utf8(seen.reason)},
             {"headers", Utf8(seen.headers)},
             {"hasBody", seen.hasBody},
             {"agile", seen.agile},
             {"bodyHex", Hex(seen.body)},
             {"bodyLength", seen.body.size()}});
    } else if (name == "web-message") {
        const std::wstring source = Text(command, "source");
        std::optional<std::wstring> string;
        std::string message;
        if (command.contains("string")) {
            const std::string text = command["string"].get<std::string>();
            string = Wide(text);
            message = json(text).dump();
        } else {
            const json& given = command.at("json");
            message = given.is_string() ? given.get<std::string>() : given.dump();
        }
        const auto args = MakeWebMessageReceivedArgs(source, Wide(message), std::move(string));
        webMessageReceived_.Raise(sender, args.Get());
    } else if (name == "key") {
        const UINT key = command.at("key").get<UINT>();
        const int kind = command.value("kind", 0);
        const auto controller = Ref<Controller>::Share(controller_);
        const bool handled =
            controller && controller->PressKey(key, static_cast<COREWEBVIEW2_KEY_EVENT_KIND>(kind),
                                               command.value("repeat", false));
        Log({{"event", "key"}, {"key", key}, {"kind", kind}, {"handled", handled}});
    } else if (name == "devtools-event") {
        // Only an event of a domain the host has enabled, to the receivers it asked for.
        const std::wstring event = Text(command, "event");
        const json& parameters = command.at("params");
        const size_t dot = event.find(L'.');
        const bool enabled =
            dot != std::wstring::npos &&
            std::find(enabledDomains_.begin(), enabledDomains_.end(), event.substr(0, dot)) !=
                enabledDomains_.end();
        const auto receiver = devToolsReceivers_.find(event);
        const bool delivered = enabled && receiver != devToolsReceivers_.end();
        if (delivered) {
            receiver->second->Raise(sender, Wide(parameters.dump()));
        }
        Log({{"event", "devtools-event"}, {"name", Utf8(event)}, {"delivered", delivered}});
    } else if (name == "process-failed") {
        // The published defaults: a lost browser process is UNEXPECTED, an unresponsive page
        // UNRESPONSIVE with the exit code STILL_ACTIVE; anything else here CRASHED.
        const int kind = command.value("kind", 1);
        const int defaultReason = kind == COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED
                                      ? COREWEBVIEW2_PROCESS_FAILED_REASON_UNEXPECTED
                                  : kind == COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE
                                      ? COREWEBVIEW2_PROCESS_FAILED_REASON_UNRESPONSIVE
                                      : COREWEBVIEW2_PROCESS_FAILED_REASON_CRASHED;
        const int defaultExitCode =
            kind == COREWEBVIEW2_PROCESS_FAILED_KIND_RENDER_PROCESS_UNRESPONSIVE ? STILL_ACTIVE : 1;
        const auto args = MakeProcessFailedArgs(
            static_cast<COREWEBVIEW2_PROCESS_FAILED_KIND>(kind),
            static_cast<COREWEBVIEW2_PROCESS_FAILED_REASON>(command.value("reason", defaultReason)),
            command.value("exitCode", defaultExitCode), Text(command, "description"));
        Log({{"event", "process-failed"}, {"kind", kind}});
        const auto self = Ref<WebView>::Share(this);
        if (kind == COREWEBVIEW2_PROCESS_FAILED_KIND_BROWSER_PROCESS_EXITED) {
            // Everything of this environment is closed: the scenario waits for a new webview.
            runtime_->EndBrowserProcess();
            runtime_->Stop(this);
            if (controller_ != nullptr) {
                Ref<Controller>::Share(controller_)->EndView();
            }
        }
        processFailed_.Raise(sender, args.Get());
    } else {
        return "unknown command \"" + name + "\"";
    }
    return {};
}

}  // namespace vandrel::testruntime
