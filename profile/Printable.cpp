#include "profile/Printable.h"

namespace ta {
namespace {

bool isContinuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

// The length of the well-formed UTF-8 character that starts at i, 0 when the
// bytes there are none (overlong forms included: they could hide an ESC).
std::size_t utf8Length(std::string_view text, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = at(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 0 || i + length > text.size() || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (!isContinuation(at(k)))
            return 0;
    return length;
}

void escapeByte(std::string& out, unsigned char byte)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

std::string escaped(std::string_view text, bool keepLineBreaks)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if ((byte < 0x20 && !(byte == '\n' && keepLineBreaks)) || byte == 0x7F)
                escapeByte(out, byte);
            else
                out += char(byte);
            ++i;
            continue;
        }
        const std::size_t length = utf8Length(text, i);
        if (length == 0) {
            // Not UTF-8: a byte 0x80 to 0x9F is a control to an 8-bit
            // terminal (0x9B starts a sequence as ESC [ does); the letters
            // of a Latin-1 name pass.
            if (byte < 0xA0)
                escapeByte(out, byte);
            else
                out += char(byte);
            ++i;
            continue;
        }
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (byte == 0xC2 && second < 0xA0) { // U+0080 to U+009F
            escapeByte(out, byte);
            escapeByte(out, second);
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

} // namespace

std::string printable(std::string_view text) { return escaped(text, false); }

std::string printableLines(std::string_view text) { return escaped(text, true); }

} // namespace ta
