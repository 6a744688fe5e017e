#include "ProfileText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Suggestion.h"
#include "VolatileFields.h"
#include "profile/FieldRules.h"
#include "profile/FieldValue.h"
#include "profile/Printable.h"

namespace ta::tactl {
namespace {

std::string hexEscape(const char* format, unsigned char byte)
{
    char text[8];
    std::snprintf(text, sizeof text, format, byte);
    return text;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool unescape(std::string_view text, std::string& out)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && hexDigit(text[i + 2]) >= 0 &&
                   hexDigit(text[i + 3]) >= 0) {
            out += char(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
            i += 3;
        } else {
            return false;
        }
    }
    return true;
}

std::string jsonString(std::string_view bytes)
{
    std::string out = "\"";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (byte >= 0x20 && byte < 0x7F)
            out += c;
        else
            out += hexEscape("\\u%04X", byte);
    }
    return out + "\"";
}

std::string trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    const auto last = text.find_last_not_of(" \t");
    return first == std::string_view::npos ? std::string() : std::string(text.substr(first, last - first + 1));
}

// A text field ends at its first zero byte: one inside a value would cut it
// there without a word, so it is refused. The text keeps the field's rule.
Result<> storeTextValue(TaProfile& profile, const FieldInfo& field, std::string_view bytes)
{
    if (const auto nul = bytes.find('\0'); nul != std::string_view::npos)
        return unexpected("has a NUL byte after " + std::to_string(nul) +
                          " characters, which would end the text there; a text cannot hold one");
    if (auto kept = checkText(field, bytes); !kept)
        return kept;
    return storeText(profile, field, bytes);
}

// A number keeps the field's rule; 0 stands for a setting never read from
// the TA (a port or X.25 it does not have) and comes back as it was shown.
Result<> storeNumberValue(TaProfile& profile, const FieldInfo& field, unsigned number)
{
    if (number != 0)
        if (auto kept = checkNumber(field, number); !kept)
            return kept;
    return storeNumber(profile, field, number);
}

// "216" or "216 (Other)": the label, when given, must be the value's own.
Result<> storeByteText(TaProfile& profile, const FieldInfo& field, std::string_view text)
{
    const auto space = text.find(' ');
    const auto number = parseDecimal(text.substr(0, space));
    if (!number)
        return unexpected("is not a number: '" + std::string(text) + "'");
    if (space != std::string_view::npos) {
        const std::string_view label = text.substr(space + 1);
        if (label.size() < 2 || label.front() != '(' || label.back() != ')' ||
            labelOf(field, *number) != trimmed(label.substr(1, label.size() - 2)))
            return unexpected("has '" + std::string(label) + "', which is not the label of " + std::to_string(*number));
    }
    return storeNumberValue(profile, field, *number);
}

Result<> storeLineValue(TaProfile& profile, const FieldInfo& field, std::string_view text)
{
    if (field.kind == FieldKind::Byte)
        return storeByteText(profile, field, text);
    if (field.kind == FieldKind::Word) {
        const auto number = parseDecimal(text);
        if (!number)
            return unexpected("is not a number: '" + std::string(text) + "'");
        return storeNumberValue(profile, field, *number);
    }
    std::string bytes;
    if (!unescape(text, bytes))
        return unexpected("has a backslash that is neither \\\\ nor \\xNN");
    return storeTextValue(profile, field, bytes);
}

// What the text names must keep the rules between two fields too: ADD and
// DROP are judged together, once both are in.
Result<> pairBreak(const TaProfile& profile, const std::set<std::string>& named)
{
    const std::vector<std::string> names(named.begin(), named.end());
    if (const auto broken = pairBreakInvolving(profile, names))
        return unexpected(broken->field->name + " = " + broken->value + " " + broken->rule);
    return {};
}

Result<int> readLines(std::string_view text, TaProfile& profile)
{
    std::set<std::string> seen;
    int lineNumber = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const std::string content = trimmed(line);
        if (content.empty() || content.front() == '#')
            continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        const auto equals = line.find('=');
        if (equals == std::string_view::npos)
            return unexpected(where + "expected 'name = value'");
        const std::string name = trimmed(line.substr(0, equals));
        std::string_view value = line.substr(equals + 1);
        if (value.starts_with(' '))
            value.remove_prefix(1);
        const FieldInfo* field = findField(name);
        const Result<> stored = !field                        ? unexpected("no such field" + didYouMeanField(name))
                                : !seen.insert(name).second ? unexpected("given twice")
                                                            : storeLineValue(profile, *field, value);
        if (!stored)
            return unexpected(where + name + " " + stored.error());
    }
    if (auto broken = pairBreak(profile, seen); !broken)
        return unexpected(broken.error());
    return int(seen.size());
}

Result<> storeJsonValue(TaProfile& profile, const FieldInfo& field, const QJsonValue& value)
{
    if (field.kind == FieldKind::Text) {
        if (!value.isString())
            return unexpected("takes a string");
        std::string bytes;
        for (const QChar c : value.toString()) {
            if (c.unicode() > 0xFF)
                return unexpected("has a character beyond U+00FF");
            bytes += char(c.unicode());
        }
        return storeTextValue(profile, field, bytes);
    }
    const double number = value.toDouble(-1);
    if (!value.isDouble() || number < 0 || number > 1e9 || number != std::floor(number))
        return unexpected("takes a whole number");
    return storeNumberValue(profile, field, unsigned(number));
}

// QJsonDocument keeps one of two equal keys without a word; the text form
// refuses a field given twice, and so does this one. The first key of the
// top-level object that comes again, decoded; the text is valid JSON.
std::optional<QString> repeatedKey(std::string_view json)
{
    std::set<QString> keys;
    int depth = 0;
    bool keyNext = false;
    for (std::size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '"') {
            const std::size_t start = i;
            for (++i; json[i] != '"'; ++i)
                i += json[i] == '\\' ? 1 : 0;
            if (depth == 1 && keyNext) {
                const std::string_view token = json.substr(start, i + 1 - start);
                const QString key = QJsonDocument::fromJson("[" + QByteArray(token.data(), qsizetype(token.size())) + "]")
                                        .array()
                                        .at(0)
                                        .toString();
                if (!keys.insert(key).second)
                    return key;
                keyNext = false;
            }
        } else if (c == '{' || c == '[') {
            keyNext = ++depth == 1;
        } else if (c == '}' || c == ']') {
            --depth;
        } else if (c == ',' && depth == 1) {
            keyNext = true;
        }
    }
    return std::nullopt;
}

Result<int> readJson(std::string_view text, TaProfile& profile)
{
    QJsonParseError parseError{};
    const auto document = QJsonDocument::fromJson(QByteArray(text.data(), qsizetype(text.size())), &parseError);
    if (!document.isObject())
        return unexpected("JSON: " +
                          (parseError.error == QJsonParseError::NoError ? std::string("not an object")
                                                                         : parseError.errorString().toStdString()) +
                          " (at byte " + std::to_string(parseError.offset) + ")");
    if (const auto key = repeatedKey(text))
        return unexpected(printable(key->toStdString()) + " given twice");
    const QJsonObject object = document.object();
    std::map<const FieldInfo*, std::string> labels;
    std::set<std::string> named;
    int count = 0;
    for (auto it = object.begin(); it != object.end(); ++it) {
        std::string name = it.key().toStdString();
        const bool isLabel = name.ends_with(".label");
        const FieldInfo* field = findField(isLabel ? name.substr(0, name.size() - 6) : name);
        if (!field || (isLabel && field->codes.empty()))
            return unexpected(printable(name) + " no such field" + (isLabel ? "" : didYouMeanField(name)));
        if (isLabel)
            labels[field] = it.value().toString().toStdString();
        else if (const auto stored = storeJsonValue(profile, *field, it.value()); !stored)
            return unexpected(name + " " + stored.error());
        if (!isLabel)
            named.insert(name);
        count += isLabel ? 0 : 1;
    }
    if (auto broken = pairBreak(profile, named); !broken)
        return unexpected(broken.error());
    for (const auto& [field, label] : labels) {
        const unsigned value = numberIn(profile, *field);
        if (labelOf(*field, value) != label)
            return unexpected(field->name + ".label '" + label + "' is not the label of " + std::to_string(value));
    }
    return count;
}

bool inScope(const FieldInfo& field, TextScope scope) { return scope == TextScope::Every || !isVolatile(field.name); }

} // namespace

std::string profileLines(const TaProfile& profile, TextScope scope)
{
    std::string text;
    for (const FieldInfo& field : profileFields())
        if (inScope(field, scope))
            text += field.name + " = " + shownValue(profile, field) + "\n";
    return text;
}

std::string profileJson(const TaProfile& profile, TextScope scope)
{
    std::string text = "{";
    const char* separator = "\n";
    for (const FieldInfo& field : profileFields()) {
        if (!inScope(field, scope))
            continue;
        text += separator;
        separator = ",\n";
        if (field.kind == FieldKind::Text) {
            text += "  " + jsonString(field.name) + ": " + jsonString(textIn(profile, field));
            continue;
        }
        const unsigned value = numberIn(profile, field);
        text += "  " + jsonString(field.name) + ": " + std::to_string(value);
        if (const std::string label = labelOf(field, value); !label.empty())
            text += ",\n  " + jsonString(field.name + ".label") + ": " + jsonString(label);
    }
    return text + "\n}\n";
}

Result<int> readProfileText(std::string_view text, TaProfile& profile)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first != std::string_view::npos && text[first] == '{')
        return readJson(text, profile);
    return readLines(text, profile);
}

} // namespace ta::tactl
