// Running a program of the project through the shell, the way a user or a
// script does, and keeping what it printed and how it ended.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>

namespace ta::testsupport {

struct Outcome {
    int exitCode;
    std::string out, err;
};

inline std::string slurp(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs the command line with its output in two files of folder (replaced by
// each run) and standard input from /dev/null.
inline Outcome runShell(const std::string& commandLine, const std::filesystem::path& folder)
{
    const std::string out = (folder / "stdout").string(), err = (folder / "stderr").string();
    const std::string line = "{ " + commandLine + "; } >'" + out + "' 2>'" + err + "' </dev/null";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

} // namespace ta::testsupport
