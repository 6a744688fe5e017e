#include "atcmd/ReplyDecoder.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

#include "atcmd/ParamTable.h"

namespace ta::atcmd {
namespace {

bool isBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlankOrControl(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlankOrControl(text.back()))
        text.remove_suffix(1);
    return text;
}

// Cuts what does not fit and always leaves the terminator in place.
void storeText(std::span<char> field, std::string_view text)
{
    if (field.empty())
        return;
    const std::size_t n = std::min(text.size(), field.size() - 1);
    if (n > 0)
        std::memcpy(field.data(), text.data(), n);
    field[n] = '\0';
}

std::optional<long> parseNumber(std::string_view text)
{
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '-')
            return std::nullopt;
    }
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return long(value);
}

long widestOf(Form form) { return form == Form::WideNumber ? 0xFFFF : 0xFF; }

// A number beyond the field's width is no value of it: keeping its low bits
// would store another setting than the TA has.
bool decodeNumber(std::span<char> field, Form form, std::string_view reply)
{
    const auto number = replyNumber(reply);
    if (!number || field.empty() || *number < 0 || *number > widestOf(form))
        return false;
    const auto bits = static_cast<uint32_t>(*number);
    field[0] = char(bits & 0xFF);
    if (form == Form::WideNumber)
        field[1] = char((bits >> 8) & 0xFF);
    return true;
}

std::string_view textValue(std::string_view reply)
{
    return trimmed(valueLine(reply).value_or(std::string_view()));
}

// The number and the sub-address of a pair's value line, trimmed.
std::pair<std::string_view, std::string_view> pairParts(std::string_view reply)
{
    const std::string_view value = valueLine(reply).value_or(std::string_view());
    const auto slash = value.find('/');
    return {trimmed(value.substr(0, slash)),
            slash == std::string_view::npos ? std::string_view() : trimmed(value.substr(slash + 1))};
}

void decodePair(std::span<char> number, std::span<char> sub, std::string_view reply)
{
    const auto [numberText, subText] = pairParts(reply);
    storeText(number, numberText);
    storeText(sub, subText);
}

// A one-digit component gets its leading zero: "3-1-2000" becomes "03-01-2000".
std::string padFront(std::string_view component) { return (component.size() == 1 ? "0" : "") + std::string(component); }

// Splits at the first separator; without one the head is empty and the tail whole.
std::pair<std::string_view, std::string_view> splitAt(std::string_view text, char separator)
{
    const auto at = text.find(separator);
    if (at == std::string_view::npos)
        return {std::string_view(), text};
    return {text.substr(0, at), text.substr(at + 1)};
}

std::string paddedDate(std::string_view value)
{
    const auto [day, rest] = splitAt(value, '-');
    const bool oneDigitMonth = rest.find('-') == 1;
    return padFront(day) + "-" + (oneDigitMonth ? "0" : "") + std::string(rest);
}

std::string paddedTime(std::string_view value)
{
    const auto [hours, rest] = splitAt(value, ':');
    const auto [minutes, seconds] = splitAt(rest, ':');
    return padFront(hours) + ":" + padFront(minutes) + ":" + padFront(seconds);
}

std::string firstChars(std::string_view text, std::size_t max) { return std::string(text.substr(0, max)); }

bool decodeOutside(int id, std::string_view reply, DecodeTargets& out)
{
    switch (id) {
    case 1:
        out.firmwareVersion = firstChars(textValue(reply), kFirmwareVersionMax);
        break;
    case 131:
        out.chargeLast = std::string(valueLine(reply).value_or(std::string_view()));
        break;
    case 132:
        out.chargeAcc = std::string(valueLine(reply).value_or(std::string_view()));
        break;
    }
    return true;
}

} // namespace

std::optional<std::string_view> valueLine(std::string_view reply)
{
    const auto first = reply.find('\n');
    if (first == std::string_view::npos)
        return std::nullopt;
    reply.remove_prefix(first + 1);
    const auto second = reply.find('\n');
    if (second == std::string_view::npos)
        return std::nullopt;
    // An "OK" right after the echo is the result, not a value: the TA sent none.
    const std::string_view line = reply.substr(0, second);
    if (line == "OK")
        return std::nullopt;
    return line;
}

std::optional<long> replyNumber(std::string_view replyBuffer)
{
    const auto value = valueLine(replyBuffer);
    return value ? parseNumber(*value) : std::nullopt;
}

namespace {

const FieldInfo* fieldAt(const TaProfile& record, std::span<const char> bytes)
{
    if (bytes.empty())
        return nullptr;
    const auto offset = std::size_t(bytes.data() - reinterpret_cast<const char*>(&record));
    for (const FieldInfo& field : profileFields())
        if (field.offset == offset)
            return &field;
    return nullptr;
}

std::optional<RuleBreak> textBreak(const FieldInfo* field, std::string_view text)
{
    if (!field)
        return std::nullopt;
    if (auto kept = checkText(*field, text); !kept)
        return RuleBreak{field, std::string(text), kept.error()};
    return std::nullopt;
}

std::optional<RuleBreak> numberBreak(const FieldInfo* field, std::string_view reply)
{
    const auto number = replyNumber(reply);
    if (!field || !number)
        return std::nullopt;
    // No rule takes a negative number: the largest one stands for it.
    const unsigned value = *number < 0 ? ~0u : unsigned(*number);
    if (auto kept = checkNumber(*field, value); !kept)
        return RuleBreak{field, std::to_string(*number), kept.error()};
    return std::nullopt;
}

} // namespace

std::optional<RuleBreak> replyRuleBreak(int id, std::string_view replyBuffer)
{
    int port = 0;
    const Param* param = paramById(id, &port);
    const auto line = valueLine(replyBuffer);
    if (!param || param->size == 0 || !line)
        return std::nullopt;
    static const TaProfile record{};
    const FieldInfo* field = fieldAt(record, fieldOf(record, *param, port));
    switch (param->form) {
    case Form::Number:
    case Form::WideNumber:
        return numberBreak(field, replyBuffer);
    case Form::Text:
        return textBreak(field, textValue(replyBuffer));
    case Form::Pair: {
        const auto [number, sub] = pairParts(replyBuffer);
        if (auto broken = textBreak(field, number))
            return broken;
        return textBreak(fieldAt(record, subFieldOf(record, *param, port)), sub);
    }
    case Form::Date:
        return textBreak(field, paddedDate(*line));
    case Form::Time:
        return textBreak(field, paddedTime(*line));
    case Form::Charge:
    case Form::Command:
        break;
    }
    return std::nullopt;
}

bool decodeReply(int id, std::string_view replyBuffer, DecodeTargets& out)
{
    int port = 0;
    const Param* param = paramById(id, &port);
    if (!param)
        return true;
    if (param->size == 0)
        return decodeOutside(id, replyBuffer, out);
    const auto field = fieldOf(out.profile, *param, port);
    const auto line = valueLine(replyBuffer);
    const std::string_view value = line.value_or(std::string_view());
    switch (param->form) {
    case Form::Number:
    case Form::WideNumber:
        return decodeNumber(field, param->form, replyBuffer);
    case Form::Text:
        storeText(field, textValue(replyBuffer));
        break;
    case Form::Pair:
        decodePair(field, subFieldOf(out.profile, *param, port), replyBuffer);
        break;
    case Form::Date:
        storeText(field, line ? paddedDate(value) : std::string()); // no value line: nothing to pad
        break;
    case Form::Time:
        storeText(field, line ? paddedTime(value) : std::string());
        break;
    case Form::Charge:
    case Form::Command:
        break;
    }
    return true;
}

} // namespace ta::atcmd
