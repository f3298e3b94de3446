// libFuzzer target for the package.json checker behind `vandrel check` and `vandrel build`.
//
// Each input is a whole package.json text. The checker must not fail, however deep its values
// nest or however long its keys are: every finding quotes a short excerpt, names the file and has
// advice. The host's loader is the judge: a text it refuses has at least one error, and a text
// whose findings are free of errors is one it accepts.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "portable/config/app_config.h"
#include "portable/config/config_check.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "config_check_fuzz: invariant violated: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vandrel;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ConfigCheckResult result = CheckAppConfig(text);
    bool errors = false;
    for (const Finding& finding : result.findings) {
        errors = errors || finding.severity == Severity::Error;
        Require(finding.file == "package.json", "every finding names the file");
        Require(!finding.advice.empty(), "every finding has advice");
        Require(finding.message.size() + finding.advice.size() < 2000,
                "findings quote short excerpts");
    }
    bool accepted = true;
    try {
        AppConfig config;
        LoadAppConfig(text, config);
    } catch (const std::exception&) {
        accepted = false;
    }
    Require(accepted || errors, "a text the loader refuses has an error");
    Require(accepted == result.config.has_value(), "the config is the loader's");
    return 0;
}
