#include "commands.h"

#include <new>

#include "build.h"
#include "file_io.h"
#include "check.h"
#include "serve.h"

namespace vandrel::tool {

const char* const kToolUsage =
    "usage: vandrel COMMAND ARGUMENTS\n"
    "\n"
    "Checks, builds and previews apps for the Vandrel host, and makes and examines its\n"
    "assets.dat bundles.\n"
    "\n"
    "commands:\n"
    "  check [APP_FOLDER]     report what the host would refuse or not do as meant (--json)\n"
    "  build APP_FOLDER -o OUT  make the finished app folder (--bundle, --zip, --host, --loader)\n"
    "  pack FOLDER -o FILE    pack every file under FOLDER into the bundle FILE\n"
    "  list FILE              list a bundle's files with their sizes and offsets\n"
    "  verify FILE            check that the host accepts a bundle, or say why not\n"
    "  extract FILE FOLDER    write every file of a bundle out under FOLDER\n"
    "  serve [APP_FOLDER]     preview an app at http://127.0.0.1:PORT/ as the host serves it\n"
    "  --help                 show this help\n"
    "\n"
    "pack names each file by its path under FOLDER, with '/' between folder names, and leaves\n"
    "out FOLDER/assets.dat and FILE itself. Symbolic links are followed when they stay inside\n"
    "FOLDER. Files with identical content are stored once. Bundles must stay below 2 GiB.\n"
    "extract writes nothing outside FOLDER: it refuses a bundle when a link (or junction) in\n"
    "FOLDER is in the way, and checks every name before it writes anything.\n"
    "\n"
    "exit codes: 0 success, 1 failure, errors found or a bundle the host rejects, 2 bad command\n"
    "line or a check that could not run, 3 out of memory\n";

namespace {

// A bundle command: the arguments it takes, what to say when they are wrong, and its work.
struct BundleCommand {
    const char* name;
    size_t positional;
    bool takesOutput;
    const char* usage;
    int (*run)(const ParsedArgs&, std::ostream&, std::ostream&, const ToolEnvironment&);
};

constexpr BundleCommand kBundleCommands[] = {
    {"pack", 1, true, "pack takes one folder and an output file: vandrel pack FOLDER -o FILE",
     PackCommand},
    {"list", 1, false, "list takes one bundle file: vandrel list FILE", ListCommand},
    {"verify", 1, false, "verify takes one bundle file: vandrel verify FILE", VerifyCommand},
    {"extract", 2, false, "extract takes a bundle file and a folder: vandrel extract FILE FOLDER",
     ExtractCommand},
};

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
        if (command == "check") {
            return CheckCommand(args, out, err, environment);
        }
        if (command == "build") {
            return BuildCommand(args, out, err, environment);
        }
        for (const BundleCommand& bundleCommand : kBundleCommands) {
            if (command == bundleCommand.name) {
                const auto parsed =
                    CommandArgs(args, bundleCommand.positional, bundleCommand.takesOutput,
                                bundleCommand.usage, out);
                return parsed ? bundleCommand.run(*parsed, out, err, environment) : kExitOk;
            }
        }
        if (command == "serve") {
            return Serve(args, out, err, environment);
        }
        throw UsageError("unknown command " + Shown(command));
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
