#include "sim/ValueText.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace ta::sim {
namespace {

using atcmd::Form;

std::string textIn(std::span<const char> field)
{
    return std::string(field.data(), strnlen(field.data(), field.size()));
}

bool putText(std::span<char> field, std::string_view text)
{
    if (text.size() >= field.size() || text.find('\0') != std::string_view::npos)
        return false;
    std::memcpy(field.data(), text.data(), text.size());
    field[text.size()] = '\0';
    return true;
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
std::string shortened(const std::string& text, char sep, int componentsToShorten)
{
    std::vector<std::string> parts = split(text, sep);
    if (parts.size() != 3)
        return text;
    std::string out;
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            out += sep;
        out += i < componentsToShorten ? withoutLeadingZero(parts[i]) : parts[i];
    }
    return out;
}

// Accepts one- or two-digit components (the last one of a date has four) and
// stores them with two digits, the form the record keeps.
bool normalised(std::string_view value, char sep, int lastWidth, std::string& out)
{
    std::vector<std::string> parts = split(value, sep);
    if (parts.size() != 3)
        return false;
    out.clear();
    for (int i = 0; i < 3; ++i) {
        const std::string& part = parts[i];
        bool last = i == 2;
        std::size_t maxWidth = last ? std::size_t(lastWidth) : 2;
        if (!allDigits(part) || part.size() > maxWidth || (last && lastWidth == 4 && part.size() != 4))
            return false;
        if (i > 0)
            out += sep;
        out += part.size() == 1 ? "0" + part : part;
    }
    return true;
}

std::string pairLine(const TaProfile& store, const atcmd::Param& param, int port)
{
    std::string number = textIn(atcmd::fieldOf(store, param, port));
    std::string sub = textIn(atcmd::subFieldOf(store, param, port));
    return sub.empty() ? number : number + "/" + sub;
}

bool storePair(TaProfile& store, const atcmd::Param& param, int port, std::string_view value)
{
    std::size_t slash = value.find('/');
    std::string_view number = value.substr(0, slash);
    std::string_view sub = slash == std::string_view::npos ? std::string_view() : value.substr(slash + 1);
    std::span<char> numberField = atcmd::fieldOf(store, param, port);
    std::span<char> subField = atcmd::subFieldOf(store, param, port);
    if (number.size() >= numberField.size() || sub.size() >= subField.size())
        return false;
    return putText(numberField, number) && putText(subField, sub);
}

bool storeNumber(std::span<char> field, std::string_view value)
{
    unsigned number = 0;
    if (field.empty())
        return false;
    if (field.size() == 1) {
        if (!parseUnsigned(value, 255, number))
            return false;
        field[0] = char(number);
        return true;
    }
    if (!parseUnsigned(value, 65535, number))
        return false;
    field[0] = char(number & 0xFF); // the record keeps it little-endian
    field[1] = char(number >> 8);
    return true;
}

std::string numberLine(std::span<const char> field)
{
    if (field.empty())
        return {};
    unsigned number = uint8_t(field[0]);
    if (field.size() == 2)
        number |= unsigned(uint8_t(field[1])) << 8;
    return std::to_string(number);
}

bool storeCharge(ChargeTexts& charges, const atcmd::Param& param, std::string_view value)
{
    if (value != "0") // the charge counters can only be cleared
        return false;
    (param.id == 131 ? charges.last : charges.accumulated) = "0";
    return true;
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

std::string valueLine(const TaProfile& store, const ChargeTexts& charges, const atcmd::Param& param,
                      int port, bool oneDigit)
{
    switch (param.form) {
    case Form::Number:
    case Form::WideNumber: return numberLine(atcmd::fieldOf(store, param, port));
    case Form::Text: return textIn(atcmd::fieldOf(store, param, port));
    case Form::Pair: return pairLine(store, param, port);
    case Form::Date: {
        std::string date = textIn(atcmd::fieldOf(store, param, port));
        return oneDigit ? shortened(date, '-', 2) : date;
    }
    case Form::Time: {
        std::string time = textIn(atcmd::fieldOf(store, param, port));
        return oneDigit ? shortened(time, ':', 3) : time;
    }
    case Form::Charge: return param.id == 131 ? charges.last : charges.accumulated;
    case Form::Command: break;
    }
    return {};
}

bool storeValue(TaProfile& store, ChargeTexts& charges, const atcmd::Param& param, int port,
                std::string_view value)
{
    std::string normal;
    switch (param.form) {
    case Form::Number:
    case Form::WideNumber: return storeNumber(atcmd::fieldOf(store, param, port), value);
    case Form::Text: return putText(atcmd::fieldOf(store, param, port), value);
    case Form::Pair: return storePair(store, param, port, value);
    case Form::Date:
        return normalised(value, '-', 4, normal) && putText(atcmd::fieldOf(store, param, port), normal);
    case Form::Time:
        return normalised(value, ':', 2, normal) && putText(atcmd::fieldOf(store, param, port), normal);
    case Form::Charge: return storeCharge(charges, param, value);
    case Form::Command: break;
    }
    return false;
}

} // namespace ta::sim
