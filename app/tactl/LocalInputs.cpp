#include "LocalInputs.h"

#include "CliOptions.h"
#include "link/LocalChecks.h"
#include "profile/Printable.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <unistd.h>

namespace ta::tactl {
namespace {

Unexpected cannotSave(const std::string& path, int error)
{
    return unexpected("Cannot save profile file " + path + ": " + std::strerror(error));
}

// The firmware's reason goes beside the program's own message, as the
// windows show it.
bool firmwareReadable(const std::string& path, std::ostream& err)
{
    const auto image = link::readFirmwareFile(path);
    if (!image)
        err << "tactl: " << link::kCannotOpenFileText << "\n  " << printable(image.error()) << '\n';
    return bool(image);
}

} // namespace

// The save replaces the file through a temporary one in the folder of the
// file a link points to: that folder is the one that must be writable.
Result<> checkOutputTarget(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target(path);
    if (fs::is_symlink(target, error))
        target = fs::weakly_canonical(target, error);
    if (fs::is_directory(target, error))
        return cannotSave(path, EISDIR);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, error))
        return cannotSave(path, ENOENT);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return cannotSave(path, errno);
    return {};
}

std::optional<CheckedInputs> checkLocalInputs(const LocalInputs& inputs, std::ostream& err)
{
    CheckedInputs checked;
    if (inputs.profile) {
        auto profile = readProfile(*inputs.profile, &err);
        if (!profile) {
            fail(err, profile.error());
            return std::nullopt;
        }
        checked.profile = *profile;
    }
    if (inputs.firmware && !firmwareReadable(*inputs.firmware, err))
        return std::nullopt;
    for (const std::string& output : inputs.outputs) {
        if (output.empty() || isStdio(output))
            continue;
        if (const auto writable = checkOutputTarget(output); !writable) {
            fail(err, writable.error());
            return std::nullopt;
        }
    }
    return checked;
}

} // namespace ta::tactl
