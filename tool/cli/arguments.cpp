#include "cli/arguments.h"

#include <algorithm>

#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

namespace {

// `text` broken into lines of at most `width` characters at spaces; its own line breaks stay.
std::string Wrapped(const std::string& text, size_t width = 96) {
    std::string wrapped;
    size_t lineStart = 0;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        for (size_t space; at < end; at = space + 1) {
            space = std::min(text.find(' ', at), end);
            const size_t used = wrapped.size() - lineStart;
            if (used > 0 && used + 1 + (space - at) > width) {
                wrapped += '\n';
                lineStart = wrapped.size();
            } else if (used > 0) {
                wrapped += ' ';
            }
            wrapped.append(text, at, space - at);
        }
        at = end + 1;
        if (end < text.size()) {
            wrapped += '\n';
            lineStart = wrapped.size();
        }
    }
    return wrapped;
}

}  // namespace

CommandLine::CommandLine(const std::string& name, std::string summary, std::string details,
                         std::string usage)
    : app_(Wrapped(summary) + "\n", "vandrel " + name), usage_(std::move(usage)) {
    app_.set_help_flag("-h,--help", "show this help");
    app_.footer(Wrapped(details));
    // Arguments CLI11 does not know are collected, so that they are said wrong in our words.
    app_.allow_extras();
    // Options start with '-' on every system: "/x" is a path, also on Windows.
    app_.allow_windows_style_options(false);
}

CLI::Option* CommandLine::Path(const std::string& name, std::optional<std::filesystem::path>& path,
                               const std::string& description) {
    return app_.add_option_function<std::string>(
        name, [&path](const std::string& utf8) { path = PathFromUtf8(utf8); }, description);
}

bool CommandLine::Parse(const std::vector<std::string>& args, std::ostream& out) {
    // A positional argument's help shows its name alone, without a type.
    for (CLI::Option* option : app_.get_options()) {
        if (option->get_positional()) {
            option->type_name("");
        }
    }
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app_.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        out << app_.help();
        return false;
    } catch (const CLI::ArgumentMismatch& error) {
        // "--output: 1 required TEXT missing": the option's name comes first.
        const std::string what = error.what();
        throw UsageError("option " + what.substr(0, what.find(':')) + " needs a value");
    } catch (const CLI::ValidationError& error) {
        throw UsageError(error.what());
    } catch (const CLI::ParseError& error) {
        throw UsageError(error.what());
    }
    // What is left: options the command does not know, and positional arguments beyond those it
    // takes. CLI11 keeps the "--" that ended the options among them; what follows it is never an
    // option.
    std::vector<std::string> extra = app_.remaining();
    const auto end = std::find(extra.begin(), extra.end(), "--");
    const auto option = std::find_if(
        extra.begin(), end, [](const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; });
    if (option != end) {
        throw UsageError("unknown option " + Shown(*option));
    }
    if (end != extra.end()) {
        extra.erase(end);
    }
    Require(extra.empty());
    return true;
}

void CommandLine::Require(bool given) const {
    if (!given) {
        throw UsageError(usage_);
    }
}

}  // namespace vandrel::tool
