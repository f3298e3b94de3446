#pragma once

// One command's command line, read by CLI11 so that every command takes its options alike
// (-h/--help, "--opt value" and "--opt=value", "--" before names that start with '-'), and said
// wrong in the tool's own words: one line, exit code 2.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace vandrel::tool {

class CommandLine {
public:
    // `name` is the command ("build"), `summary` the help's first paragraph, `details` its last,
    // and `usage` the sentence said when the arguments are not what the command takes
    // ("build takes one app folder and an output folder: vandrel build APP_FOLDER -o OUT").
    CommandLine(const std::string& name, std::string summary, std::string details,
                std::string usage);

    // The options and positional arguments are declared on this. Positional arguments are never
    // `required()` here: Parse says `usage` when one is missing (see Require).
    CLI::App& Options() { return app_; }

    // An option or positional argument that names a file or folder, given in UTF-8.
    CLI::Option* Path(const std::string& name, std::optional<std::filesystem::path>& path,
                      const std::string& description);

    // Reads `args` (those after the command's name). Returns false after printing the help to
    // `out` for -h/--help. Throws UsageError: "unknown option '--x'", "option --output needs a
    // value", `usage` for too many positional arguments, or what a validator says.
    bool Parse(const std::vector<std::string>& args, std::ostream& out);

    // Throws UsageError(`usage`) unless `given`: for a positional argument or option the command
    // cannot do without.
    void Require(bool given) const;

private:
    CLI::App app_;
    std::string usage_;
};

}  // namespace vandrel::tool
