#include "builder/signing.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/programs.h"
#include "platform/shown_text.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr char kFilePlaceholder[] = "{file}";

// The time OpenSSL prints for a certificate ("Feb  1 00:00:00 2020 GMT"), or nullopt.
std::optional<std::chrono::sys_seconds> OpensslTime(const std::string& text) {
    static const std::string kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
    char month[4] = {};
    unsigned day = 0;
    int hour = 0, minute = 0, second = 0, year = 0;
    const bool read = std::sscanf(text.c_str(), "%3s %u %d:%d:%d %d", month, &day, &hour, &minute,
                                  &second, &year) == 6;
    const size_t index = kMonths.find(month);
    if (!read || std::strlen(month) != 3 || index == std::string::npos || index % 3 != 0) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year{year},
                                           std::chrono::month{static_cast<unsigned>(index / 3 + 1)},
                                           std::chrono::day{day}};
    if (!date.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_days{date} + std::chrono::hours{hour} + std::chrono::minutes{minute} +
           std::chrono::seconds{second};
}

// The value after "name :" on the first line of `output` that has it.
std::optional<std::string> Field(const std::string& output, const std::string& name) {
    const size_t at = output.find(name + " : ");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const size_t start = at + name.size() + 3;
    return output.substr(start, output.find('\n', start) - start);
}

}  // namespace

void CheckSigningOptions(const SigningOptions& options) {
    if (options.certificate && options.command) {
        throw UsageError("--sign and --sign-command do not go together: choose one");
    }
    if (options.timestamp && !options.certificate) {
        throw UsageError("--timestamp goes with --sign; a --sign-command adds its own timestamp");
    }
    if (options.command && options.command->find(kFilePlaceholder) == std::string::npos) {
        throw UsageError(
            "--sign-command needs {file} where the file to sign goes, as in "
            "--sign-command \"signtool sign /fd SHA256 {file}\"");
    }
    if (options.command && options.command->find('`') != std::string::npos) {
        throw UsageError("--sign-command cannot hold a backquote (`)");
    }
}

Signer::Signer(SigningOptions options) : options_(std::move(options)) {
    if (!options_.certificate) {
        return;
    }
    const std::optional<std::string> named = EnvironmentValue("VANDREL_OSSLSIGNCODE");
    const std::optional<fs::path> found =
        named ? std::optional<fs::path>(PathFromUtf8(*named)) : FindProgram("osslsigncode");
    if (!found) {
        throw ToolError(
            "--sign needs osslsigncode, which is not on the PATH: install it (Debian and Ubuntu: "
            "apt install osslsigncode; macOS: brew install osslsigncode; Windows: "
            "https://github.com/mtrojnar/osslsigncode/releases), or sign with your own tool "
            "through --sign-command, such as --sign-command \"signtool sign /f CERT.pfx /fd "
            "SHA256 {file}\"");
    }
    osslsigncode_ = *found;
    std::error_code ec;
    if (!fs::is_regular_file(*options_.certificate, ec)) {
        throw ToolError("cannot read the certificate " + ShownPath(*options_.certificate) +
                        ": it is not a file");
    }
    ReadFileBytes(*options_.certificate, 1 << 20);  // readable, and not huge
    // The password goes to osslsigncode in a file in a folder only this user can open; without
    // one, osslsigncode reads the file as having none.
    const std::string password = EnvironmentValue(kSignPasswordVariable).value_or("");
    if (password.empty()) {
        return;
    }
    secrets_ = TempPathBeside(fs::temp_directory_path() / "vandrel-sign");
    fs::create_directory(secrets_, ec);
    if (ec) {
        throw ToolError("cannot create folder " + ShownPath(secrets_) + ": " + ErrorCodeText(ec));
    }
    fs::permissions(secrets_, fs::perms::owner_all, ec);
    WriteFileBytes(secrets_ / "password", password);
}

Signer::~Signer() {
    if (!secrets_.empty()) {
        std::error_code ignored;
        fs::remove_all(secrets_, ignored);
    }
}

std::string Signer::OsslsigncodeCommand(const std::string& in, const std::string& out) const {
    std::string command = ShellQuoted(PathToUtf8(osslsigncode_)) + " sign -pkcs12 " +
                          ShellQuoted(PathToUtf8(*options_.certificate)) + " -h sha256";
    if (!secrets_.empty()) {
        command += " -readpass " + ShellQuoted(PathToUtf8(secrets_ / "password"));
    }
    if (options_.timestamp) {
        command += " -ts " + ShellQuoted(*options_.timestamp);
    }
    return command + " -in " + ShellQuoted(in) + " -out " + ShellQuoted(out);
}

void Signer::Sign(const fs::path& file) {
    if (options_.command) {
        std::string command = *options_.command;
        for (size_t at; (at = command.find(kFilePlaceholder)) != std::string::npos;) {
            command.replace(at, sizeof kFilePlaceholder - 1, ShellQuoted(PathToUtf8(file)));
        }
        const ProgramRun run = RunShellCommand(command);
        if (run.exitCode != 0) {
            throw ToolError("the signing command failed for " + ShownPath(file) + " (exit code " +
                            std::to_string(run.exitCode) +
                            "): " + Shown(LastOutputLine(run.output), false));
        }
        return;
    }
    if (!options_.certificate) {
        return;
    }
    const fs::path out = TempPathBeside(file);
    std::vector<std::string> args = {"sign", "-pkcs12", PathToUtf8(*options_.certificate), "-h",
                                     "sha256"};
    if (!secrets_.empty()) {
        args.insert(args.end(), {"-readpass", PathToUtf8(secrets_ / "password")});
    }
    if (options_.timestamp) {
        args.insert(args.end(), {"-ts", *options_.timestamp});
    }
    args.insert(args.end(), {"-in", PathToUtf8(file), "-out", PathToUtf8(out)});
    const ProgramRun run = RunProgram(osslsigncode_, args);
    std::error_code ec;
    if (run.exitCode != 0) {
        fs::remove(out, ec);
        const std::string shown = ShownPath(*options_.certificate);
        if (run.output.find("Wrong password") != std::string::npos ||
            run.output.find("mac verify failure") != std::string::npos) {
            throw ToolError("cannot sign with " + shown + ": the password is wrong; give it in " +
                            kSignPasswordVariable);
        }
        if (run.output.find("PKCS#12") != std::string::npos) {
            throw ToolError("cannot sign with " + shown + ": it is not a PFX (PKCS #12) file");
        }
        throw ToolError("osslsigncode could not sign " + ShownPath(file) + ": " +
                        Shown(LastOutputLine(run.output), false));
    }
    if (!checked_) {
        CheckValidity(out);
    }
    fs::rename(out, file, ec);
    if (ec) {
        fs::remove(out, ec);
        throw ToolError("cannot replace " + ShownPath(file) +
                        " with its signed form: " + ErrorCodeText(ec));
    }
}

// osslsigncode signs with a certificate out of its time as well; Windows then calls the
// signature invalid. The dates come from the signature just made.
void Signer::CheckValidity(const fs::path& signedFile) {
    checked_ = true;
    const ProgramRun run = RunProgram(osslsigncode_, {"verify", "-in", PathToUtf8(signedFile)});
    const std::optional<std::string> notBefore = Field(run.output, "notBefore");
    const std::optional<std::string> notAfter = Field(run.output, "notAfter");
    const auto from = notBefore ? OpensslTime(*notBefore) : std::nullopt;
    const auto until = notAfter ? OpensslTime(*notAfter) : std::nullopt;
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    std::error_code ignored;
    if (until && now > *until) {
        fs::remove(signedFile, ignored);
        throw ToolError("cannot sign with " + ShownPath(*options_.certificate) +
                        ": its certificate expired on " + *notAfter);
    }
    if (from && now < *from) {
        fs::remove(signedFile, ignored);
        throw ToolError("cannot sign with " + ShownPath(*options_.certificate) +
                        ": its certificate is valid only from " + *notBefore);
    }
}

std::string Signer::CommandForMakensis() const {
    if (options_.command) {
        std::string command = *options_.command;
        for (size_t at; (at = command.find(kFilePlaceholder)) != std::string::npos;) {
            command.replace(at, sizeof kFilePlaceholder - 1, ShellQuoted("%1"));
        }
        return command;
    }
    return OsslsigncodeCommand("%1", "%1.signed") + " && " + ShellMoveCommand("%1.signed", "%1");
}

}  // namespace vandrel::tool
