#include "cli/commands.h"

#include <algorithm>
#include <new>
#include <optional>

#include "builder/build.h"
#include "bundle/bundle_commands.h"
#include "check/check.h"
#include "cli/arguments.h"
#include "platform/file_io.h"
#include "runner/run.h"
#include "serve/serve.h"

namespace vandrel::tool {

namespace fs = std::filesystem;

namespace {

constexpr char kToolUsage[] =
    "usage: vandrel COMMAND ARGUMENTS\n"
    "\n"
    "Checks, builds and previews apps for the Vandrel host, and makes and examines its\n"
    "assets.dat bundles.\n"
    "\n"
    "commands:\n"
    "  check [APP_FOLDER]     report what the host would refuse or not do as meant (--json)\n"
    "  build APP_FOLDER -o OUT  make the finished app folder (--bundle, --zip, --installer,\n"
    "                         --sign, --host, --loader)\n"
    "  pack FOLDER -o FILE    pack every file under FOLDER into the bundle FILE\n"
    "  list FILE              list a bundle's files with their sizes and offsets\n"
    "  verify FILE            check that the host accepts a bundle, or say why not\n"
    "  extract FILE FOLDER    write every file of a bundle out under FOLDER\n"
    "  serve [APP_FOLDER]     preview an app at http://127.0.0.1:PORT/ as the host serves it\n"
    "                         (--watch: reload the page when a file changes)\n"
    "  run [APP_FOLDER]       run the app in the real host, on Windows\n"
    "  --help                 show this help; 'vandrel COMMAND --help' shows a command's own\n"
    "  --version              show the version of the tool and of the host it builds with\n"
    "\n"
    "pack names each file by its path under FOLDER, with '/' between folder names, and leaves\n"
    "out FOLDER/assets.dat and FILE itself. Symbolic links are followed when they stay inside\n"
    "FOLDER. Files with identical content are stored once. Bundles must stay below 2 GiB.\n"
    "extract writes nothing outside FOLDER: it refuses a bundle when a link (or junction) in\n"
    "FOLDER is in the way, and checks every name before it writes anything.\n"
    "\n"
    "exit codes: 0 success, 1 failure, errors found or a bundle the host rejects, 2 bad command\n"
    "line or a check that could not run, 3 out of memory\n";

constexpr char kExitCodes[] =
    "exit codes: 0 success, 1 failure or a bundle the host rejects, 2 bad command line, 3 out of "
    "memory";

using Arguments = std::vector<std::string>;

int Check(const Arguments& args, std::ostream& out, std::ostream& err,
          const ToolEnvironment& environment) {
    CommandLine line("check",
                     "Reads an app folder as the host would and reports each problem as one line: "
                     "severity, where, what is wrong and what to do.",
                     "exit codes: 0 no errors (warnings allowed), 1 errors, 2 the check could not "
                     "run",
                     "check takes one app folder: vandrel check [APP_FOLDER] [--json]");
    std::optional<fs::path> folder;
    bool json = false;
    line.Path("APP_FOLDER", folder, "the app's folder (default: this one)");
    line.Options().add_flag("--json", json, "print the findings as one JSON array");
    if (!line.Parse(args, out)) {
        return kExitOk;
    }
    return CheckCommand(folder.value_or("."), json, out, err, environment);
}

int Build(const Arguments& args, std::ostream& out, std::ostream& err,
          const ToolEnvironment& environment) {
    CommandLine line(
        "build",
        "Makes the finished app in the folder OUT: the host as <name>.exe carrying the app's "
        "icon, name and version, package.json, www/ (packed into www/assets.dat with --bundle), "
        "WebView2Loader.dll, and WV2ExtManager.dll and webview2/ when the app has them. With "
        "--zip also OUT.zip, with --installer also OUT-setup.exe; with --sign or --sign-command "
        "the executable, the installer and its uninstaller are signed.",
        "The host is vandrel-host.exe beside this tool unless --host names it; the loader is "
        "--loader, else WebView2Loader.dll beside the host. An existing OUT (and OUT.zip) is "
        "replaced only once the new one is complete, and only when an earlier build made it or "
        "it is empty; OUT, OUT.zip and OUT-setup.exe are replaced together or not at all. Nothing "
        "outside APP_FOLDER is copied, through any link. Ends with "
        "'vandrel check OUT'.\n"
        "exit codes: 0 built without errors, 1 not built, or built but the check of the result "
        "found errors, 2 bad command line",
        "build takes one app folder and an output folder: vandrel build APP_FOLDER -o OUT");
    std::optional<fs::path> app;
    std::optional<fs::path> output;
    BuildOptions options;
    CLI::App& o = line.Options();
    line.Path("APP_FOLDER", app, "the app's source folder");
    line.Path("-o,--output", output, "the finished app's folder")->option_text("OUT");
    o.add_flag("--bundle", options.bundle, "pack www/ into www/assets.dat");
    o.add_flag("--zip", options.zip, "also write OUT.zip");
    line.Path("--host", options.host, "the host executable to build from")->option_text("EXE");
    line.Path("--loader", options.loader, "the WebView2Loader.dll to ship")->option_text("DLL");
    o.add_flag("--installer", options.installer,
               "also write OUT-setup.exe, a per-user installer (needs NSIS's makensis)");
    line.Path("--sign", options.signing.certificate,
              "sign what runs with this PFX file (osslsigncode; the password in "
              "VANDREL_SIGN_PASSWORD)")
        ->option_text("CERT.pfx");
    o.add_option("--timestamp", options.signing.timestamp,
                 "with --sign, an RFC 3161 time-stamping server")
        ->option_text("URL");
    o.add_option("--sign-command", options.signing.command,
                 "sign each file with your own command instead, {file} standing for its path")
        ->option_text("\"CMD {file}\"");
    if (!line.Parse(args, out)) {
        return kExitOk;
    }
    line.Require(app && output);
    options.app = *app;
    options.out = *output;
    CheckSigningOptions(options.signing);
    return BuildCommand(options, out, err, environment);
}

uint16_t ParsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }) ||
        std::stoul(text) > 65535) {
        throw UsageError("--port takes a number from 0 to 65535, not " + Shown(text));
    }
    return static_cast<uint16_t>(std::stoul(text));
}

int ServeApp(const Arguments& args, std::ostream& out, std::ostream& err,
             const ToolEnvironment& environment) {
    CommandLine line(
        "serve",
        "Serves the app in APP_FOLDER at http://127.0.0.1:PORT/ the way the host serves it: "
        "www/assets.dat first, then the www folder, with the host's names, content types, byte "
        "ranges and 404s; vandrel.js from the kit when the app has none. Only this machine can "
        "connect. Stop it with Ctrl+C.",
        "Each request is logged as METHOD TARGET STATUS BODY-BYTES TIME SOURCE, and the range "
        "sent for a 206 answer. SOURCE is bundle, folder or kit.\n"
        "exit codes: 0 stopped with Ctrl+C, 1 failure, 2 bad command line or a remote-mode app",
        "serve takes one app folder: vandrel serve [APP_FOLDER] [--port N]");
    std::optional<fs::path> folder;
    std::optional<std::string> port;
    ServeOptions options;
    CLI::App& o = line.Options();
    line.Path("APP_FOLDER", folder, "the app's folder (default: this one)");
    o.add_option("--port", port, "listen on port N (default: a free port)")->option_text("N");
    o.add_flag("--bundle-only", options.bundleOnly,
               "serve the bundle alone, to find files missing from it");
    o.add_flag("-q,--quiet", options.quiet, "no line per request");
    o.add_flag("--watch", options.watch,
               "reload open pages when package.json or www/ changes (adds a small script to HTML "
               "documents)");
    // No option makes it listen anywhere else: say so rather than "unknown option".
    for (const std::string& arg : args) {
        if (arg == "--") {
            break;
        }
        const std::string name = arg.substr(0, arg.find('='));
        if (name == "--host" || name == "--bind") {
            throw UsageError(
                "serve listens on 127.0.0.1 only, so that no other machine can "
                "reach the app; there is no " +
                name + " option");
        }
    }
    if (!line.Parse(args, out)) {
        return kExitOk;
    }
    options.folder = folder.value_or(".");
    options.port = port ? ParsePort(*port) : 0;
    return Serve(options, out, err, environment);
}

int RunApp(const Arguments& args, std::ostream& out, std::ostream& err,
           const ToolEnvironment& environment) {
    CommandLine line(
        "run",
        "Runs the app in APP_FOLDER in the real host, on Windows: from a staging folder beside "
        "it (APP_FOLDER.vandrel-run, kept for the next run and never shipped) with the host, the "
        "loader, package.json and a copy of www/, with the developer tools on, printing the "
        "player log's lines while it runs.",
        "exit codes: the host's; 1 failure, 2 bad command line or a system that does not run "
        "Windows programs (use 'vandrel serve --watch' there)",
        "run takes one app folder: vandrel run [APP_FOLDER]");
    std::optional<fs::path> folder;
    RunOptions options;
    line.Path("APP_FOLDER", folder, "the app's folder (default: this one)");
    line.Path("--host", options.host, "the host executable (default: the one beside the tool)")
        ->option_text("EXE");
    line.Path("--loader", options.loader, "the WebView2Loader.dll to use")->option_text("DLL");
    if (!line.Parse(args, out)) {
        return kExitOk;
    }
    options.app = folder.value_or(".");
    return RunCommand(options, out, err, environment);
}

int Pack(const Arguments& args, std::ostream& out, std::ostream& err,
         const ToolEnvironment& environment) {
    CommandLine line(
        "pack",
        "Packs every file under FOLDER into the bundle FILE, each named by its path under "
        "FOLDER with '/' between folder names, leaving out FOLDER/assets.dat and FILE itself.",
        "Symbolic links are followed when they stay inside FOLDER. Files with identical content "
        "are stored once. Bundles must stay below 2 GiB.\n" +
            std::string(kExitCodes),
        "pack takes one folder and an output file: vandrel pack FOLDER -o FILE");
    std::optional<fs::path> folder;
    std::optional<fs::path> output;
    line.Path("FOLDER", folder, "the folder to pack");
    line.Path("-o,--output", output, "the bundle to write")->option_text("FILE");
    if (!line.Parse(args, out)) {
        return kExitOk;
    }
    line.Require(folder && output);
    return PackCommand(*folder, *output, out, err, environment);
}

// list, verify: one bundle file.
template <int (*command)(const fs::path&, std::ostream&, const ToolEnvironment&)>
int OneBundle(const char* name, const char* summary, const Arguments& args, std::ostream& out,
              const ToolEnvironment& environment) {
    CommandLine line(name, summary, kExitCodes,
                     std::string(name) + " takes one bundle file: vandrel " + name + " FILE");
    std::optional<fs::path> file;
    line.Path("FILE", file, "the bundle");
    if (!line.Parse(args, out)) {
        return kExitOk;
    }
    line.Require(file.has_value());
    return command(*file, out, environment);
}

int Extract(const Arguments& args, std::ostream& out, std::ostream&,
            const ToolEnvironment& environment) {
    CommandLine line(
        "extract", "Writes every file of the bundle FILE out under FOLDER.",
        "extract writes nothing outside FOLDER: it refuses a bundle when a link (or junction) in "
        "FOLDER is in the way, and checks every name before it writes anything.\n" +
            std::string(kExitCodes),
        "extract takes a bundle file and a folder: vandrel extract FILE FOLDER");
    std::optional<fs::path> file;
    std::optional<fs::path> folder;
    line.Path("FILE", file, "the bundle");
    line.Path("FOLDER", folder, "where its files go (made when missing)");
    if (!line.Parse(args, out)) {
        return kExitOk;
    }
    line.Require(file && folder);
    return ExtractCommand(*file, *folder, out, environment);
}

int Dispatch(const std::string& command, const Arguments& args, std::ostream& out,
             std::ostream& err, const ToolEnvironment& environment) {
    if (command == "check") {
        return Check(args, out, err, environment);
    }
    if (command == "build") {
        return Build(args, out, err, environment);
    }
    if (command == "serve") {
        return ServeApp(args, out, err, environment);
    }
    if (command == "run") {
        return RunApp(args, out, err, environment);
    }
    if (command == "pack") {
        return Pack(args, out, err, environment);
    }
    if (command == "list") {
        return OneBundle<ListCommand>(
            "list", "Lists a bundle's files with their sizes and offsets.", args, out, environment);
    }
    if (command == "verify") {
        return OneBundle<VerifyCommand>(
            "verify", "Checks that the host accepts a bundle, or says why not (exit code 1).", args,
            out, environment);
    }
    if (command == "extract") {
        return Extract(args, out, err, environment);
    }
    throw UsageError("unknown command " + Shown(command));
}

}  // namespace

int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const ToolEnvironment& environment) {
    try {
        if (args.empty()) {
            err << kToolUsage;
            return kExitUsage;
        }
        const std::string& command = args[0];
        if (command == "--help" || command == "-h" || command == "help") {
            out << kToolUsage;
            return kExitOk;
        }
        if (command == "--version") {
            out << "vandrel " << VANDREL_VERSION << '\n';
            return kExitOk;
        }
        return Dispatch(command, Arguments(args.begin() + 1, args.end()), out, err, environment);
    } catch (const UsageError& error) {
        err << "vandrel: " << Shown(error.what(), false) << " (run 'vandrel --help' for usage)\n";
        return kExitUsage;
    } catch (const Interrupted& error) {
        err << "vandrel: " << Shown(error.what(), false) << '\n';
        return kExitInterrupted;
    } catch (const OutOfMemory& error) {
        err << "vandrel: " << Shown(error.what(), false) << '\n';
        return kExitOutOfMemory;
    } catch (const std::bad_alloc&) {
        err << "vandrel: out of memory\n";
        return kExitOutOfMemory;
    } catch (const std::exception& error) {
        err << "vandrel: " << Shown(error.what(), false) << '\n';
        return kExitFailure;
    }
}

}  // namespace vandrel::tool
