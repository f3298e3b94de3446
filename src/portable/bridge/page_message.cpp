#include "portable/bridge/page_message.h"

#include <nlohmann/json.hpp>

#include "portable/util/json_lookup.h"

namespace vandrel {

namespace {

using nlohmann::json;

struct TypeRow {
    const char* name;
    PageCommandKind kind;
};

constexpr TypeRow kTypes[] = {
    {"wrapper-init", PageCommandKind::WrapperInit},
    {"set-fullscreen", PageCommandKind::SetFullScreen},
    {"set-window-size", PageCommandKind::SetWindowSize},
    {"set-window-position", PageCommandKind::SetWindowPosition},
    {"set-window-state", PageCommandKind::SetWindowState},
    {"set-always-on-top", PageCommandKind::SetAlwaysOnTop},
    {"get-window-state", PageCommandKind::GetWindowState},
    {"log", PageCommandKind::Log},
    {"extension-message", PageCommandKind::ExtensionMessage},
};

}  // namespace

PageCommand ParsePageMessage(std::string_view text) {
    PageCommand command;
    try {
        const std::string_view untilNul = text.substr(0, text.find('\0'));
        const json message = json::parse(untilNul, nullptr, true, false);
        const std::string type = JsonGetString(message, "type", "");
        for (const TypeRow& row : kTypes) {
            if (type == row.name) {
                command.kind = row.kind;
                break;
            }
        }
        switch (command.kind) {
            case PageCommandKind::SetFullScreen:
                command.fullscreen = JsonGetBool(message, "fullscreen", false);
                break;
            case PageCommandKind::SetWindowSize:
                command.height = JsonGetInt(message, "windowHeight", 0);
                command.width = JsonGetInt(message, "windowWidth", 0);
                break;
            case PageCommandKind::SetWindowPosition:
                command.y = JsonGetInt(message, "windowY", 0);
                command.x = JsonGetInt(message, "windowX", 0);
                break;
            case PageCommandKind::SetWindowState: {
                const std::string state = JsonGetString(message, "state", "");
                if (state == "normal") {
                    command.state = WindowShowState::Normal;
                } else if (state == "minimized") {
                    command.state = WindowShowState::Minimized;
                } else if (state == "maximized") {
                    command.state = WindowShowState::Maximized;
                } else {
                    return {};
                }
                break;
            }
            case PageCommandKind::Log: {
                const std::string level = JsonGetString(message, "level", "");
                const auto text = message.find("message");
                if (text == message.end() || !text->is_string()) {
                    return {};
                }
                if (level == "info") {
                    command.level = LogLevel::Info;
                } else if (level == "warn") {
                    command.level = LogLevel::Warn;
                } else if (level == "error") {
                    command.level = LogLevel::Error;
                } else {
                    return {};
                }
                command.message = text->get<std::string>();
                break;
            }
            case PageCommandKind::SetAlwaysOnTop: {
                const auto onTop = message.find("onTop");
                if (onTop == message.end() || !onTop->is_boolean()) {
                    return {};
                }
                command.onTop = onTop->get<bool>();
                break;
            }
            default:
                break;
        }
    } catch (...) {
        return {};
    }
    return command;
}

std::string DirectoryHandlesMessage() {
    return json{{"type", "directory-handles"}}.dump();
}

std::string WindowStateMessage(const WindowStateReport& report) {
    return json{{"alwaysOnTop", report.alwaysOnTop}, {"fullscreen", report.fullscreen},
                {"height", report.height},           {"maximized", report.maximized},
                {"minimized", report.minimized},     {"scale", report.scale},
                {"type", "window-state"},            {"width", report.width},
                {"x", report.x},                     {"y", report.y}}
        .dump();
}

std::string FullScreenChangedMessage(bool on) {
    return json{{"fullscreen", on}, {"type", "fullscreen-changed"}}.dump();
}

std::string WrapperInitReply(const std::vector<std::string>& componentIds) {
    json ids = json::array();
    for (const std::string& id : componentIds) {
        ids.push_back(id);
    }
    const json reply = {{"registeredComponentIds", ids}, {"type", "wrapper-init-response"}};
    return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace vandrel
