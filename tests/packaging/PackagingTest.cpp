// The programs and files as a distribution takes them: versions and refused
// arguments without a display, manuals that agree with --help, desktop files
// their validators pass, the profile MIME type, hardened programs and a
// build without tests (the Debian packages: check-debian-package.sh).
#include <gtest/gtest.h>

#include <QMimeDatabase>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "ta/Version.h"
#include "tests/support/Processes.h"

namespace {

namespace fs = std::filesystem;

using ta::testsupport::Outcome;
using ta::testsupport::slurp;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

bool haveTool(const std::string& name)
{
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

class PackagingTest : public ::testing::Test {
protected:
    // A shell command line run without a display, in the scratch folder.
    Outcome sh(const std::string& command) const
    {
        return scratch.shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM sh -c " + quoted(command));
    }

    ta::testsupport::ScratchDir scratch{"packaging-test"};
    const fs::path& dir = scratch.path();
};

struct Program {
    const char* name;
    const char* path;
};

const Program kPrograms[] = {{"tautil", TAUTIL_PATH}, {"tactl", TACTL_PATH}, {"tasim", TASIM_PATH}};

// No display: --version and refused arguments never reach the GUI.
TEST_F(PackagingTest, ProgramsAnswerVersionAndBadArgumentsWithoutADisplay)
{
    for (const Program& program : kPrograms) {
        const Outcome run = sh(quoted(program.path) + " --version");
        EXPECT_EQ(run.exitCode, 0) << program.name << ": " << run.err;
        EXPECT_EQ(run.out, std::string(program.name) + " " + ta::kProgramVersion + "\n");
        const Outcome refused = sh(quoted(program.path) + " --bogus");
        EXPECT_EQ(refused.exitCode, 2) << program.name;
        EXPECT_EQ(refused.err.rfind(std::string(program.name) + ": ", 0), 0u) << refused.err;
        // Help that is not on a terminal fits 80 columns.
        const Outcome help = sh(quoted(program.path) + " --help");
        EXPECT_EQ(help.exitCode, 0) << program.name;
        std::istringstream lines(help.out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_LE(line.size(), 80u) << program.name << ": " << line;
    }
    for (const Program& program : {kPrograms[0], kPrograms[1]})
        EXPECT_EQ(sh(quoted(program.path) + " -V").out, sh(quoted(program.path) + " --version").out) << program.name;
    for (const char* arguments : {"a.cfg b.cfg", "-x /B:1"}) {
        const Outcome run = sh(quoted(TAUTIL_PATH) + " " + arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments << ": " << run.err;
        EXPECT_NE(run.err.find("Usage: tautil"), std::string::npos) << run.err;
    }
    // The GUI itself says there is no display and where to turn, not aborts.
    const Outcome gui = sh("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + quoted(TAUTIL_PATH));
    EXPECT_EQ(gui.exitCode, 1) << gui.err;
    EXPECT_NE(gui.err.find("tactl --help"), std::string::npos) << gui.err;
}

// The long options a text names: "--name" in --help, "\-\-name" in a page.
std::set<std::string> longOptions(std::string text)
{
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    std::set<std::string> options;
    const std::regex option("--[a-z0-9]+(-[a-z0-9]+)*");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        options.insert(it->str());
    return options;
}

// tactl's help is the overview and the help of every command it lists.
std::string everyHelpOf(const PackagingTest&, const Program& program, auto run)
{
    std::string help = run(quoted(program.path) + " --help").out;
    if (std::string(program.name) != "tactl")
        return help;
    const std::regex command(R"(\n  tactl ([a-z]+))");
    const std::string overview = help;
    for (auto it = std::sregex_iterator(overview.begin(), overview.end(), command); it != std::sregex_iterator(); ++it)
        help += run(quoted(program.path) + " " + (*it)[1].str() + " --help").out;
    return help;
}

TEST_F(PackagingTest, ManualsFormatCleanlyAndNameTheOptionsOfHelp)
{
    const auto pages = split(MAN_PAGES, ':');
    ASSERT_EQ(pages.size(), 3u);
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        const auto page = std::find_if(pages.begin(), pages.end(), [&](const std::string& p) {
            return fs::path(p).filename() == std::string(program.name) + ".1";
        });
        ASSERT_NE(page, pages.end());
        const std::string help = everyHelpOf(*this, program, [this](const std::string& c) { return sh(c); });
        EXPECT_EQ(longOptions(slurp(*page)), longOptions(help));
        if (haveTool("groff")) {
            const Outcome lint = sh("groff -man -ww -z " + quoted(*page));
            EXPECT_EQ(lint.exitCode, 0);
            EXPECT_EQ(lint.err, "");
        }
        if (haveTool("mandoc")) {
            // mandoc, unlike groff, checks the date and the structure.
            const Outcome lint = sh("mandoc -T lint -W warning " + quoted(*page));
            EXPECT_EQ(lint.exitCode, 0);
            EXPECT_EQ(lint.out + lint.err, "");
        }
    }
}

TEST_F(PackagingTest, DesktopFilesPassTheirValidators)
{
    if (!haveTool("appstreamcli") || !haveTool("desktop-file-validate"))
        GTEST_SKIP() << "appstreamcli or desktop-file-validate missing (tools/install-deps.sh)";
    const Outcome appstream = sh("appstreamcli validate --no-net --pedantic " + quoted(METAINFO));
    EXPECT_EQ(appstream.exitCode, 0) << appstream.out << appstream.err;
    const Outcome desktop = sh("desktop-file-validate " + quoted(DESKTOP_ENTRY));
    EXPECT_EQ(desktop.exitCode, 0);
    EXPECT_EQ(desktop.out + desktop.err, "");
}

// By content alone, as the desktop's two MIME libraries (Qt and GIO) see
// it: a profile under any name, and every other .cfg file left to its own
// type (a glob would make /etc/dpkg/dpkg.cfg a profile).
TEST_F(PackagingTest, ProfileFilesAreKnownByTheirContentAlone)
{
    if (!haveTool("update-mime-database"))
        GTEST_SKIP() << "update-mime-database missing (tools/install-deps.sh)";
    fs::create_directories(dir / "mime/packages");
    fs::copy_file(MIME_PACKAGE, dir / "mime/packages/tautil.xml");
    ASSERT_EQ(sh("update-mime-database mime").exitCode, 0);
    ::setenv("XDG_DATA_HOME", (dir / "home").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (dir.string() + ":/usr/share").c_str(), 1);

    std::string profile(2928, '\0');
    profile.replace(0, 8, "TAPRF1.0");
    std::string notProfile = profile;
    notProfile[8] = 'X';
    const std::string kProfileType = "application/x-ta-profile";
    struct Case {
        const char* name;
        std::string bytes;
        std::string type; // "" for anything but a profile
    };
    const QMimeDatabase db;
    for (const Case& c : {Case{"profile", profile, kProfileType}, Case{"SITE.CFG", profile, kProfileType},
                          Case{"backup.data", profile, kProfileType}, Case{"other.cfg", notProfile, ""},
                          Case{"x.cfg", "plain text\n", "text/plain"},
                          Case{"dpkg.cfg", "# dpkg options\nforce-unsafe-io\n", "text/plain"}}) {
        SCOPED_TRACE(c.name);
        std::ofstream(dir / c.name, std::ios::binary) << c.bytes;
        std::vector<std::string> types = {
            db.mimeTypeForFile(QString::fromStdString((dir / c.name).string())).name().toStdString()};
        if (haveTool("gio")) {
            const std::string info = sh("gio info -a standard::content-type " + quoted(c.name)).out;
            types.push_back(info.substr(info.rfind(' ') + 1, info.size() - info.rfind(' ') - 2));
        }
        for (const std::string& type : types) {
            if (c.type.empty())
                EXPECT_NE(type, kProfileType);
            else
                EXPECT_EQ(type, c.type);
        }
    }
}

// The programs of this build carry the protections a distribution asks for
// (a Debug build has no FORTIFY_SOURCE: glibc needs optimisation for it).
TEST_F(PackagingTest, ProgramsAreHardened)
{
    if (!HARDENED)
        GTEST_SKIP() << "built with TA_HARDENING=OFF";
    if (!haveTool("hardening-check"))
        GTEST_SKIP() << "hardening-check missing (devscripts; tools/install-deps.sh)";
    for (const Program& program : kPrograms) {
        const Outcome check = sh(std::string("hardening-check --nocfprotection ") + (FORTIFIED ? "" : "--nofortify ") +
                                 quoted(program.path));
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    }
}

// The project's shell scripts: the files under the source folder that begin
// with a shell's "#!", build folders (and the package build's copies of the
// tree in them) aside.
std::vector<std::string> shellScripts()
{
    std::vector<std::string> scripts;
    const std::regex shell(R"(#!\S*/(env +)?(ba|da)?sh\b.*)");
    for (auto it = fs::recursive_directory_iterator(SOURCE_DIR); it != fs::recursive_directory_iterator(); ++it) {
        if (it->is_directory() && (it->path().filename() == ".git" || fs::exists(it->path() / "CMakeCache.txt") ||
                                   it->path().filename().string().starts_with("obj-"))) {
            it.disable_recursion_pending();
            continue;
        }
        std::string firstLine;
        if (it->is_regular_file() && std::getline(std::ifstream(it->path()), firstLine) &&
            std::regex_match(firstLine, shell))
            scripts.push_back(fs::relative(it->path(), SOURCE_DIR).string());
    }
    return scripts;
}

TEST_F(PackagingTest, ShellScriptsPassShellcheck)
{
    if (!haveTool("shellcheck"))
        GTEST_SKIP() << "shellcheck missing (tools/install-deps.sh)";
    const std::vector<std::string> scripts = shellScripts();
    for (const char* known : {"tools/install-deps.sh", ".ci/run", "tests/packaging/check-debian-package.sh"})
        EXPECT_NE(std::find(scripts.begin(), scripts.end(), known), scripts.end()) << known;
    std::string files;
    for (const std::string& script : scripts)
        files += " " + quoted(script);
    const Outcome check = sh("cd " + quoted(SOURCE_DIR) + " && shellcheck" + files);
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;

    // The bash completion that tactl writes is a script too.
    ASSERT_EQ(sh(quoted(TACTL_PATH) + " completion bash > tactl.bash").exitCode, 0);
    const Outcome completion = sh("shellcheck -s bash tactl.bash");
    EXPECT_EQ(completion.exitCode, 0) << completion.out << completion.err;
}

TEST_F(PackagingTest, ConfiguresWithoutTestsAndWithoutGoogleTest)
{
    const Outcome configure = sh(quoted(CMAKE_PATH) + " -S " + quoted(SOURCE_DIR) +
                                 " -B build -G Ninja -DBUILD_TESTING=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON");
    EXPECT_EQ(configure.exitCode, 0) << configure.out << configure.err;
    EXPECT_TRUE(fs::exists(dir / "build/build.ninja"));
    EXPECT_FALSE(fs::exists(dir / "build/tests"));
}

} // namespace
