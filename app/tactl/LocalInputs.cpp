#include "LocalInputs.h"

#include "CliOptions.h"
#include "link/LocalChecks.h"
#include "profile/Printable.h"

#include <ostream>

namespace ta::tactl {
namespace {

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

Result<> checkOutputTarget(const OutputTarget& target)
{
    if (const std::string problem = outputProblem(target.path, target.others); !problem.empty())
        return unexpected("Cannot save profile file " + printable(target.path) + ": " + problem);
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
    for (const OutputTarget& output : inputs.outputs) {
        if (output.path.empty() || isStdio(output.path))
            continue;
        if (const auto writable = checkOutputTarget(output); !writable) {
            fail(err, writable.error());
            return std::nullopt;
        }
    }
    return checked;
}

} // namespace ta::tactl
