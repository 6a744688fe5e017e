// tautil --help: the switches, their defaults and the port list variable.
#pragma once

#include <string>
#include <vector>

namespace ta::app {

bool wantsHelp(const std::vector<std::string>& arguments);
std::string helpText();

} // namespace ta::app
