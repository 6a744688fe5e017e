// What a TA reports besides its settings: its clock runs on, its charge
// counters grow with every call and its firmware changes with an upgrade.
// Backups (show --stable, query --format) leave these out and diff --ta does
// not compare them unless asked (--all), so that a nightly backup in git
// changes only when a setting did. This is the one list of them.
#pragma once

#include <array>
#include <string_view>

namespace ta::tactl {

// Fields of the profile record: the TA's date and time.
inline constexpr std::array<std::string_view, 2> kClockFields{"sysDate", "sysTime"};

// What a query prints beside the profile it writes, as "name = value" lines.
inline constexpr std::string_view kFirmwareVersion = "firmwareVersion";
inline constexpr std::string_view kLastCallCharge = "lastCallCharge";
inline constexpr std::string_view kAccumulatedCharge = "accumulatedCharge";

// A field or a reported value that is no setting.
bool isVolatile(std::string_view name);

} // namespace ta::tactl
