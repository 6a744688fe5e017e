#include "sim/ValueText.h"

#include <cctype>
#include <vector>

namespace ta::sim {
namespace {

constexpr std::size_t kNumberWidth = 32, kSubAddressWidth = 20, kTextWidth = 32;

bool textFits(std::string_view text, std::size_t width)
{
    return text.size() <= width && text.find('\0') == std::string_view::npos;
}

std::vector<std::string> split(std::string_view text, char sep)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at = text.find(sep); at != std::string_view::npos; at = text.find(sep, start)) {
        parts.emplace_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.emplace_back(text.substr(start));
    return parts;
}

bool allDigits(std::string_view text)
{
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return !text.empty();
}

std::string withoutLeadingZero(const std::string& part)
{
    return part.size() == 2 && part[0] == '0' ? part.substr(1) : part;
}

// "DD-MM-YYYY" or "HH:MM:SS" with the chosen components written without their
// leading zero; text that is not of that shape is answered as stored.
std::string shortened(const std::string& text, char sep, std::size_t componentsToShorten)
{
    std::vector<std::string> parts = split(text, sep);
    if (parts.size() != 3)
        return text;
    std::string out;
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0)
            out += sep;
        out += i < componentsToShorten ? withoutLeadingZero(parts[i]) : parts[i];
    }
    return out;
}

// Accepts one- or two-digit components (the last one of a date has four) and
// keeps them with two digits.
std::optional<std::string> normalised(std::string_view value, char sep, std::size_t lastWidth)
{
    std::vector<std::string> parts = split(value, sep);
    if (parts.size() != 3)
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string& part = parts[i];
        bool last = i == 2;
        std::size_t maxWidth = last ? lastWidth : 2;
        if (!allDigits(part) || part.size() > maxWidth || (last && lastWidth == 4 && part.size() != 4))
            return std::nullopt;
        if (i > 0)
            out += sep;
        out += part.size() == 1 ? "0" + part : part;
    }
    return out;
}

// The number, and "/" and the sub-address when there is one.
std::optional<std::string> keptPair(std::string_view value)
{
    std::size_t slash = value.find('/');
    std::string_view number = value.substr(0, slash);
    std::string_view sub = slash == std::string_view::npos ? std::string_view() : value.substr(slash + 1);
    if (!textFits(number, kNumberWidth) || !textFits(sub, kSubAddressWidth))
        return std::nullopt;
    return sub.empty() ? std::string(number) : std::string(number) + "/" + std::string(sub);
}

std::optional<std::string> keptNumber(std::string_view value, unsigned max)
{
    unsigned number = 0;
    if (!parseUnsigned(value, max, number))
        return std::nullopt;
    return std::to_string(number);
}

} // namespace

bool parseUnsigned(std::string_view text, unsigned max, unsigned& out)
{
    if (!allDigits(text) || text.size() > 6)
        return false;
    unsigned value = 0;
    for (char c : text)
        value = value * 10 + unsigned(c - '0');
    if (value > max)
        return false;
    out = value;
    return true;
}

std::optional<std::string> storedText(ValueKind kind, std::string_view value)
{
    switch (kind) {
    case ValueKind::Number: return keptNumber(value, 255);
    case ValueKind::WideNumber: return keptNumber(value, 65535);
    case ValueKind::Text: return textFits(value, kTextWidth) ? std::optional(std::string(value)) : std::nullopt;
    case ValueKind::Pair: return keptPair(value);
    case ValueKind::Date: return normalised(value, '-', 4);
    case ValueKind::Time: return normalised(value, ':', 2);
    case ValueKind::Charge: break;
    }
    // The charge counters can only be cleared.
    return value == "0" ? std::optional(std::string(value)) : std::nullopt;
}

std::string valueLine(ValueKind kind, const std::string& kept, bool oneDigit)
{
    if (oneDigit && kind == ValueKind::Date)
        return shortened(kept, '-', 2);
    if (oneDigit && kind == ValueKind::Time)
        return shortened(kept, ':', 3);
    return kept;
}

} // namespace ta::sim
