// The completion scripts of tactl for bash, zsh and fish, made from the
// command and option tables and the field list, so that each knows what
// this tactl does. What every script takes from the tables is here.
#pragma once

#include <string>
#include <vector>

#include "OptionTable.h"

namespace ta::tactl {

// The shells tactl completion writes a script for.
const std::vector<std::string>& completionShells();

std::string bashCompletion();
std::string zshCompletion();
std::string fishCompletion();

// What an option's value completes to.
enum class ValueKind { Flag, File, Choice, Other };
ValueKind valueKind(const Option& option);
// "1|2|3": 1, 2 and 3.
std::vector<std::string> choicesOf(const Option& option);

// What follows a command's options.
enum class OperandKind {
    None,     // nothing: identify, ports, querylist
    Files,    // profile files, texts, firmware
    Commands, // help COMMAND
    Shells,   // completion SHELL
    Fields,   // set FILE.CFG NAME=VALUE...: a file, then field names
};
OperandKind operandKind(const Command& command);

std::vector<std::string> commandNames();
std::vector<std::string> fieldNames();

// The options that may come before the command, those that take a value or
// the flags.
std::vector<const Option*> leadingOptions(bool takingValue);

std::string joined(const std::vector<std::string>& words, const std::string& separator = " ");

} // namespace ta::tactl
