#pragma once

#include <string>

// Text from a catalogue, a feed or a file on its way to a terminal, on either
// stream: control characters (C0, DEL and the C1 range U+0080 to U+009F)
// become blanks, so that no title or name can send an escape sequence (a
// clipboard write, a new window title) to the terminal. Stray bytes that
// start no UTF-8 character become '?'; everything else is kept as it is.
std::string TerminalSafe(const std::string& text);
