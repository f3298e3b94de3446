#include "cli.h"

#include <algorithm>
#include <cstdio>

#include "bundle_names.h"
#include "bundle_writer.h"

namespace vandrel::tool {

ParsedArgs ParseArgs(const std::vector<std::string>& args, size_t first, bool takesOutput) {
    ParsedArgs parsed;
    bool optionsEnded = false;
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            parsed.help = true;
        } else if (takesOutput && (arg == "-o" || arg == "--output")) {
            if (i + 1 >= args.size()) {
                throw UsageError("option " + arg + " needs a file name");
            }
            parsed.output = args[++i];
        } else if (takesOutput && arg.rfind("--output=", 0) == 0) {
            parsed.output = arg.substr(9);
        } else {
            throw UsageError("unknown option " + Shown(arg));
        }
    }
    return parsed;
}

std::optional<ParsedArgs> CommandArgs(const std::vector<std::string>& args, size_t positional,
                                      bool takesOutput, const char* usage, std::ostream& out) {
    ParsedArgs parsed = ParseArgs(args, 1, takesOutput);
    if (parsed.help) {
        out << kToolUsage;
        return std::nullopt;
    }
    if (parsed.positional.size() != positional || (takesOutput && !parsed.output)) {
        throw UsageError(usage);
    }
    return parsed;
}

std::string Plural(uint64_t n, const char* singular, const char* plural) {
    return std::to_string(n) + " " + (n == 1 ? singular : plural);
}

std::string LimitText(uint64_t limit) {
    if (limit == kBundleSizeLimit) {
        return "2 GiB (2147483648 bytes)";
    }
    return std::to_string(limit) + " bytes";
}

}  // namespace vandrel::tool
