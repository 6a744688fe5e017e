// tactl's help: the overview of the commands and the options of one,
// wrapped to the terminal.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "OptionTable.h"

namespace ta::tactl {

// The width help is wrapped to: the terminal's when standard output is
// one, else 80 columns.
constexpr std::size_t kHelpWidthOffTerminal = 80;
std::size_t helpWidth();

// The words of text in lines of at most width columns (a longer word stands
// alone): the first line after firstPrefix, the others after indent blanks.
std::string wrapped(std::string_view text, std::size_t width, const std::string& firstPrefix, std::size_t indent);

// "tactl NAME [OPTIONS] OPERANDS".
std::string usageLine(const Command& command);
// The usage line, the summary and every option with its help.
std::string commandHelp(const Command& command, std::size_t width);
// Every command with its summary, and the options that may come before one.
std::string overview(std::size_t width);

} // namespace ta::tactl
