// tautil --help: the switches, their defaults and the port list variable.
#pragma once

#include <string>

namespace ta::app {

// The one-line usage, for --help and for refused arguments.
extern const char* const kUsageLine;
std::string helpText();

} // namespace ta::app
