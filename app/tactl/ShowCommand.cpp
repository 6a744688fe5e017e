#include <cstdio>
#include <cstring>
#include <ostream>

#include "CliOptions.h"
#include "CommandTable.h"
#include "profile/FieldList.h"

namespace ta::tactl {
namespace {

// Keeps each value on one line: backslashes and bytes outside printable
// ASCII are written as escapes.
std::string escaped(std::string_view text)
{
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return out;
}

std::string trimmedName(const char* name)
{
    std::string text(name);
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string formatValue(const unsigned char* record, const FieldInfo& field)
{
    const unsigned char* at = record + field.offset;
    switch (field.kind) {
    case FieldKind::Byte: {
        std::string text = std::to_string(at[0]);
        if (const char* name = field.codes.empty() ? nullptr : nameOfCode(field.codes, at[0]))
            text += " (" + trimmedName(name) + ")";
        return text;
    }
    case FieldKind::Word:
        return std::to_string(at[0] | (at[1] << 8));
    case FieldKind::Text: {
        const char* chars = reinterpret_cast<const char*>(at);
        return escaped(std::string_view(chars, strnlen(chars, field.size)));
    }
    }
    return {};
}

int runShow(Args args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 1 || args[0].starts_with("-"))
        return fail(err, "usage: show FILE.CFG", kExitUsage);
    std::string error;
    const auto profile = loadProfileOrError(args[0], error, &err);
    if (!profile)
        return fail(err, error);
    const auto* record = reinterpret_cast<const unsigned char*>(&*profile);
    for (const FieldInfo& field : profileFields())
        out << field.name << " = " << formatValue(record, field) << '\n';
    return kExitOk;
}

const CommandRegistrar reg{{"show", "show FILE.CFG", "print every field of a profile file as 'name = value' lines",
                            &runShow}};

} // namespace
} // namespace ta::tactl
