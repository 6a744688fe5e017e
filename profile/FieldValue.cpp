#include "profile/FieldValue.h"

#include <algorithm>
#include <cstring>

namespace ta {
namespace {

unsigned char* bytesOf(TaProfile& profile) { return reinterpret_cast<unsigned char*>(&profile); }
const unsigned char* bytesOf(const TaProfile& profile) { return reinterpret_cast<const unsigned char*>(&profile); }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Keeps each value on one line: backslashes and bytes outside printable
// ASCII are written as escapes.
std::string escaped(std::string_view text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (byte >= 0x20 && byte < 0x7F)
            out += c;
        else
            out += std::string("\\x") + hex[byte >> 4] + hex[byte & 0xF];
    }
    return out;
}

} // namespace

bool isPhoneText(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return isDigit(c) || (c != '\0' && std::strchr("-*# ()[]", c) != nullptr);
    });
}

unsigned numberIn(const TaProfile& profile, const FieldInfo& field)
{
    const unsigned char* at = bytesOf(profile) + field.offset;
    return field.kind == FieldKind::Word ? unsigned(at[0] | (at[1] << 8)) : at[0];
}

std::string textIn(const TaProfile& profile, const FieldInfo& field)
{
    const char* at = reinterpret_cast<const char*>(bytesOf(profile) + field.offset);
    return std::string(at, strnlen(at, field.size));
}

std::string shownValue(const TaProfile& profile, const FieldInfo& field)
{
    if (field.kind == FieldKind::Text)
        return escaped(textIn(profile, field));
    const unsigned value = numberIn(profile, field);
    const std::string label = labelOf(field, value);
    return std::to_string(value) + (label.empty() ? "" : " (" + label + ")");
}

std::string labelOf(const FieldInfo& field, unsigned value)
{
    if (value > 255)
        return {};
    const char* name = nameOfCode(field.codes, uint8_t(value));
    return name ? std::string(trimmed(name)) : std::string();
}

std::optional<unsigned> codeOfLabel(const FieldInfo& field, std::string_view label)
{
    for (const CodeItem& item : field.codes)
        if (sameIgnoringCase(trimmed(item.name), trimmed(label)))
            return item.code;
    return std::nullopt;
}

std::optional<unsigned> parseDecimal(std::string_view text)
{
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    unsigned value = 0;
    for (char c : text)
        value = value * 10 + unsigned(c - '0');
    return value;
}

Result<> storeNumber(TaProfile& profile, const FieldInfo& field, unsigned value)
{
    const unsigned widest = field.kind == FieldKind::Word ? 65535 : 255;
    if (field.kind == FieldKind::Text)
        return unexpected("is a text, not a number");
    if (value > widest)
        return unexpected("takes 0 to " + std::to_string(widest));
    unsigned char* at = bytesOf(profile) + field.offset;
    at[0] = uint8_t(value & 0xFF);
    if (field.kind == FieldKind::Word)
        at[1] = uint8_t(value >> 8);
    return {};
}

Result<> storeText(TaProfile& profile, const FieldInfo& field, std::string_view text)
{
    if (field.kind != FieldKind::Text)
        return unexpected("is a number, not a text");
    if (text.size() > field.size)
        return unexpected("holds at most " + std::to_string(field.size) + " characters");
    char* at = reinterpret_cast<char*>(bytesOf(profile) + field.offset);
    std::memcpy(at, text.data(), text.size());
    if (text.size() < field.size)
        at[text.size()] = '\0';
    return {};
}

} // namespace ta
