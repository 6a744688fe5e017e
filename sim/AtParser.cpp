#include "sim/AtParser.h"

#include <cctype>

namespace ta::sim {
namespace {

using Kind = AtCommand::Kind;

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

class Reader {
public:
    explicit Reader(std::string_view body) : text_(body) {}

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek(std::size_t ahead = 0) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }
    bool take(std::string_view word)
    {
        if (text_.substr(pos_, word.size()) != word)
            return false;
        pos_ += word.size();
        return true;
    }
    std::string digits()
    {
        std::size_t start = pos_;
        while (isDigit(peek()))
            ++pos_;
        return std::string(text_.substr(start, pos_ - start));
    }
    std::string rest()
    {
        std::string all(text_.substr(pos_));
        pos_ = text_.size();
        return all;
    }
    void skipBlanks()
    {
        while (peek() == ' ')
            ++pos_;
    }
    std::string_view remaining() const { return text_.substr(pos_); }
    void advance(std::size_t n) { pos_ += n; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Kinds whose value runs to the end of the line (it may hold any character).
bool takesRestOfLine(ValueKind kind)
{
    return kind == ValueKind::Text || kind == ValueKind::Pair || kind == ValueKind::Date || kind == ValueKind::Time;
}

struct KeyMatch {
    const TaKey* key = nullptr;
    int port = 0;
    std::size_t length = 0;
};

// The longest key at the reader's position; data-port keys may carry the
// port digit in front.
KeyMatch matchKey(std::string_view text)
{
    KeyMatch best;
    for (const TaKey& key : taKeys()) {
        std::string_view name(key.name);
        if (name.size() > best.length && text.starts_with(name))
            best = {&key, 0, name.size()};
        bool prefixed = key.perDataPort && !text.empty() && (text[0] == '1' || text[0] == '2') &&
                        text.substr(1).starts_with(name);
        if (prefixed && name.size() + 1 > best.length)
            best = {&key, text[0] - '0', name.size() + 1};
    }
    return best;
}

// After a key: "?" (query), "=" + value, or for keys assigned without "="
// the digits right after the key.
AtCommand readOperation(Reader& in, AtCommand cmd, bool noEquals, bool restOfLine)
{
    if (in.take("?")) {
        cmd.query = true;
        return cmd;
    }
    if (noEquals) {
        cmd.value = in.digits();
        return cmd.value.empty() ? AtCommand{} : cmd;
    }
    if (!in.take("="))
        return AtCommand{};
    cmd.value = restOfLine ? in.rest() : in.digits();
    return cmd;
}

AtCommand simple(Kind kind, std::string value = {})
{
    AtCommand cmd;
    cmd.kind = kind;
    cmd.value = std::move(value);
    return cmd;
}

bool readLetterCommand(Reader& in, AtCommand& cmd)
{
    switch (in.peek()) {
    case 'E': in.advance(1); cmd = simple(Kind::Echo, in.digits()); return true;
    case 'V': in.advance(1); cmd = simple(Kind::Verbose, in.digits()); return true;
    case 'H': in.advance(1); cmd = simple(Kind::HangUp, in.digits()); return true;
    case 'O': in.advance(1); cmd = simple(Kind::Online, in.digits()); return true;
    case 'Z': in.advance(1); cmd = simple(Kind::Reset, in.digits()); return true;
    case 'I': in.advance(1); cmd = simple(Kind::Info, in.digits()); return true;
    case 'D': in.advance(1); cmd = simple(Kind::Dial, in.rest()); return true;
    default: return false;
    }
}

bool readDeviceCommand(Reader& in, AtCommand& cmd)
{
    if (in.take("$D99")) {
        cmd = simple(Kind::Download);
    } else if (in.take("$REBOOT")) {
        cmd = simple(Kind::Reboot);
    } else if (in.take("$P3=")) {
        cmd = simple(Kind::PortSelect, in.digits());
        if (cmd.value.size() != 1)
            cmd = AtCommand{};
    } else if (in.take("&W")) {
        cmd = simple(Kind::Store);
    } else if ((in.peek() == '1' || in.peek() == '2') && in.remaining().substr(1).starts_with("&W")) {
        cmd = simple(Kind::Store);
        cmd.port = in.peek() - '0';
        in.advance(3);
    } else {
        return false;
    }
    return true;
}

AtCommand readKeyCommand(Reader& in)
{
    KeyMatch match = matchKey(in.remaining());
    if (!match.key)
        return AtCommand{};
    in.advance(match.length);
    AtCommand cmd = simple(Kind::Param);
    cmd.key = match.key;
    cmd.port = match.port;
    return readOperation(in, cmd, match.key->noEquals, takesRestOfLine(match.key->kind));
}

AtCommand readCommand(Reader& in)
{
    AtCommand cmd;
    if (readLetterCommand(in, cmd) || readDeviceCommand(in, cmd))
        return cmd;
    return readKeyCommand(in);
}

} // namespace

std::vector<AtCommand> parseAtBody(std::string_view body)
{
    std::vector<AtCommand> commands;
    Reader in(body);
    for (in.skipBlanks(); !in.atEnd(); in.skipBlanks()) {
        commands.push_back(readCommand(in));
        if (commands.back().kind == Kind::Invalid)
            break;
    }
    return commands;
}

} // namespace ta::sim
