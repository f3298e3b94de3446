// What a build ships beyond the folder: signatures (checked by osslsigncode against a throwaway
// CA made here with openssl) and the installer, and the clean failures of both.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pe_test_util.h"
#include "tool_test_util.h"

namespace vandrel::tool {
namespace {

using namespace testing_util;

const fs::path kHello = fs::path(VANDREL_SOURCE_DIR) / "examples" / "hello";

void Openssl(const std::string& args) {
    int status = -1;
    RunCommand("openssl " + args + " 2>&1", &status);
    ASSERT_EQ(status, 0) << args;
}

// A CA, and PFX files (password "secret") of a code-signing certificate it issued that is valid
// now, and of one that expired in 2020.
struct Certificates {
    explicit Certificates(const fs::path& dir)
        : ca(dir / "ca.pem"), good(dir / "good.pfx"), expired(dir / "expired.pfx") {
        const std::string d = ShellQuoted(dir.string()) + "/";
        WriteFile(dir / "ca.cnf",
                  "[ca]\ndefault_ca=x\n[x]\ndatabase=" + (dir / "index.txt").string() +
                      "\nserial=" + (dir / "serial").string() + "\nnew_certs_dir=" + dir.string() +
                      "\ndefault_md=sha256\nunique_subject=no\npolicy=p\nx509_extensions=leaf\n[p]"
                      "\ncommonName="
                      "supplied\n[leaf]\nbasicConstraints=CA:FALSE\nkeyUsage=critical,"
                      "digitalSignature\nextendedKeyUsage=codeSigning\n");
        WriteFile(dir / "index.txt", "");
        WriteFile(dir / "serial", "01\n");
        Openssl("req -x509 -newkey rsa:2048 -nodes -keyout " + d + "ca.key -out " + d +
                "ca.pem -days 30 -subj /CN=Test-CA -addext basicConstraints=critical,CA:TRUE "
                "-addext keyUsage=critical,keyCertSign");
        Openssl("req -newkey rsa:2048 -nodes -keyout " + d + "leaf.key -out " + d +
                "leaf.csr -subj /CN=Test-Signer");
        const std::string sign = "ca -batch -config " + d + "ca.cnf -cert " + d +
                                 "ca.pem -keyfile " + d + "ca.key -in " + d + "leaf.csr ";
        Openssl(sign + "-out " + d + "good.pem -days 30");
        Openssl(sign + "-out " + d +
                "old.pem -startdate 20200101000000Z -enddate "
                "20200201000000Z");
        for (const char* name : {"good", "old"}) {
            Openssl("pkcs12 -export -inkey " + d + "leaf.key -in " + d + name + ".pem -out " + d +
                    (std::string(name) == "old" ? "expired" : name) + ".pfx -passout pass:secret");
        }
    }
    fs::path ca, good, expired;
};

std::string Verify(const fs::path& ca, const fs::path& file) {
    return RunCommand("osslsigncode verify -CAfile " + ShellQuoted(ca.string()) + " -in " +
                      ShellQuoted(file.string()) + " 2>&1");
}

class Shipping : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("VANDREL_SIGN_PASSWORD", "secret", 1);
        WriteFile(scratch_ / "host/vandrel-host.exe", MakeTestPe({}));
    }

    ToolRun Build(std::vector<std::string> extra) {
        std::vector<std::string> args = {"build",  kHello.string(),
                                         "-o",     Out().string(),
                                         "--host", (scratch_ / "host/vandrel-host.exe").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return Tool(args);
    }
    fs::path Out() const { return scratch_ / "dist/hello"; }
    fs::path Setup() const { return scratch_ / "dist/hello-setup.exe"; }

    ScratchFolder scratch_;
};

TEST_F(Shipping, SignedFolderZipAndInstaller) {
    const Certificates certificates(scratch_ / "pki");
    const ToolRun run = Build({"--zip", "--installer", "--sign", certificates.good.string()});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "signed hello-vandrel.exe, the installer and its uninstaller"));
    const fs::path exe = Out() / "hello-vandrel.exe";
    EXPECT_TRUE(Contains(Verify(certificates.ca, exe), "\nSucceeded"))
        << Verify(certificates.ca, exe);
    EXPECT_TRUE(Contains(Verify(certificates.ca, Setup()), "\nSucceeded"));
    // The zip holds the signed executable.
    const auto zipped = [&] {
        const fs::path into = scratch_ / "unzipped";
        RunCommand(
            "python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall("
            "sys.argv[2])' " +
            ShellQuoted(Out().string() + ".zip") + " " + ShellQuoted(into.string()));
        return ReadFile(into / "hello/hello-vandrel.exe");
    }();
    EXPECT_EQ(zipped, ReadFile(exe));
    // Built again: the three outputs are replaced together, nothing else is left beside them.
    ASSERT_EQ(Build({"--zip", "--installer", "--sign", certificates.good.string()}).code, 0);
    std::vector<std::string> top;
    for (const auto& entry : fs::directory_iterator(scratch_ / "dist")) {
        top.push_back(entry.path().filename().string());
    }
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"hello", "hello-setup.exe", "hello.zip"}));
}

TEST_F(Shipping, FailuresAreOneLineAndLeaveNothing) {
    const Certificates certificates(scratch_ / "pki");
    const std::string log = (scratch_ / "signed.log").string();
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* password;
        std::string message;
    } cases[] = {
        {"wrong password",
         {"--sign", certificates.good.string()},
         "wrong",
         "the password is wrong; give it in VANDREL_SIGN_PASSWORD"},
        {"no password",
         {"--installer", "--sign", certificates.good.string()},
         nullptr,
         "the password is wrong"},
        {"not a PFX",
         {"--sign", (kHello / "package.json").string()},
         "secret",
         "it is not a PFX (PKCS #12) file"},
        {"expired",
         {"--zip", "--sign", certificates.expired.string()},
         "secret",
         "its certificate expired on Feb  1 00:00:00 2020 GMT"},
        {"missing", {"--sign", (scratch_ / "none.pfx").string()}, "secret", "cannot read"},
        {"command fails",
         {"--installer", "--sign-command", "echo {file} >> '" + log + "'; exit 3"},
         "secret",
         "the signing command failed for"},
    };
    for (const auto& c : cases) {
        if (c.password != nullptr) {
            setenv("VANDREL_SIGN_PASSWORD", c.password, 1);
        } else {
            unsetenv("VANDREL_SIGN_PASSWORD");
        }
        const ToolRun run = Build(c.args);
        EXPECT_EQ(run.code, 1) << c.name;
        EXPECT_TRUE(Contains(run.err, c.message)) << c.name << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(fs::exists(scratch_ / "dist") && !fs::is_empty(scratch_ / "dist"))
            << c.name << ": " << ::testing::PrintToString(TreeNames(scratch_ / "dist"));
    }
    // The failing command ran once, on the executable, and stopped the build.
    const std::string signedFiles = ReadFile(log);
    EXPECT_EQ(std::count(signedFiles.begin(), signedFiles.end(), '\n'), 1) << signedFiles;
}

TEST_F(Shipping, SignCommandRunsOncePerFile) {
    const std::string log = (scratch_ / "signed.log").string();
    // (makensis on Linux turns backslashes in the command into slashes.)
    const std::string command = "echo {file} >> '" + log + "'";
    ASSERT_EQ(Build({"--sign-command", command}).code, 0);
    const std::string one = ReadFile(log);
    EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 1) << one;
    EXPECT_TRUE(one.ends_with("/hello-vandrel.exe\n")) << one;
    fs::remove(log);
    const ToolRun run = Build({"--installer", "--sign-command", command});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string signed_ = ReadFile(log);
    // The executable, the uninstaller (while makensis makes the installer), the installer.
    EXPECT_EQ(std::count(signed_.begin(), signed_.end(), '\n'), 3) << signed_;
    EXPECT_TRUE(signed_.starts_with((scratch_ / "dist").string())) << signed_;
}

TEST_F(Shipping, MissingToolsSayHowToGetThem) {
    const std::string path = std::getenv("PATH");
    setenv("PATH", (scratch_ / "empty").string().c_str(), 1);
    const ToolRun nsis = Build({"--zip", "--installer"});
    const ToolRun signer = Build({"--sign", (scratch_ / "x.pfx").string()});
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(nsis.code, 1);
    EXPECT_TRUE(Contains(nsis.err, "--installer needs makensis from NSIS")) << nsis.err;
    EXPECT_TRUE(Contains(nsis.err, "apt install nsis")) << nsis.err;
    EXPECT_EQ(signer.code, 1);
    EXPECT_TRUE(Contains(signer.err, "--sign needs osslsigncode")) << signer.err;
    EXPECT_TRUE(Contains(signer.err, "--sign-command")) << signer.err;
    EXPECT_FALSE(fs::exists(scratch_ / "dist") && !fs::is_empty(scratch_ / "dist"));
}

}  // namespace
}  // namespace vandrel::tool
