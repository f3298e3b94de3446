#pragma once

// Authenticode signatures for what `vandrel build` makes that runs: with osslsigncode and a PFX
// file (its password from VANDREL_SIGN_PASSWORD), or with the app maker's own command.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace vandrel::tool {

struct SigningOptions {
    std::optional<std::filesystem::path> certificate;  // --sign CERT.pfx
    std::optional<std::string> timestamp;              // --timestamp URL (RFC 3161)
    std::optional<std::string> command;                // --sign-command "CMD {file}"
};

// Throws UsageError for options that do not go together, and for a command without {file} or
// with a backquote (which makensis could not pass on).
void CheckSigningOptions(const SigningOptions& options);

// The environment variable that holds the PFX file's password.
inline constexpr char kSignPasswordVariable[] = "VANDREL_SIGN_PASSWORD";

class Signer {
public:
    // Checks what signing needs before anything is built: osslsigncode on the PATH (or
    // VANDREL_OSSLSIGNCODE) and a readable certificate file. The options are as
    // CheckSigningOptions lets them through. Throws ToolError.
    explicit Signer(SigningOptions options);
    Signer(const Signer&) = delete;
    Signer& operator=(const Signer&) = delete;
    ~Signer();

    bool Active() const { return options_.certificate || options_.command; }

    // Signs `file` in place (SHA-256). The first file signed with a certificate also shows
    // whether the certificate is valid today. Throws ToolError with one line: a wrong password,
    // a file that is not a PFX, an expired certificate, a failed command.
    void Sign(const std::filesystem::path& file);

    // A shell command that signs the file named %1 in place, for makensis to run on the
    // uninstaller before it goes into the installer.
    std::string CommandForMakensis() const;

private:
    std::string OsslsigncodeCommand(const std::string& in, const std::string& out) const;
    void CheckValidity(const std::filesystem::path& signedFile);

    SigningOptions options_;
    std::filesystem::path osslsigncode_;
    // The folder of the password's file, which only this user can read, for osslsigncode's
    // -readpass: never on a command line. Empty without a password.
    std::filesystem::path secrets_;
    bool checked_ = false;
};

}  // namespace vandrel::tool
