// Text that comes from outside the program (a file's name, a value read
// from a profile or a text file, a line the TA sent) made safe to echo in a
// message, on a terminal or in a message box: a control byte would move the
// cursor, recolour the terminal or forge a line of its own, so each one is
// shown as \xHH ("\x1b" for ESC). Everything else passes unchanged, letters
// outside ASCII included.
#pragma once

#include <string>
#include <string_view>

namespace ta {

// Every control byte escaped: the C0 bytes, DEL, the C1 controls (as UTF-8
// or as single bytes of an 8-bit text).
std::string printable(std::string_view text);

// The same for a whole message of several lines: its line breaks stay.
std::string printableLines(std::string_view text);

} // namespace ta
