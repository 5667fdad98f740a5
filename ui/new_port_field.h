// What the new-port field (Text2) lets in. The field holds a port number, so only the ASCII digits
// may be typed into it, and only text made of nothing but those digits may be pasted into it.
#pragma once

#include <string>

namespace korvane {

// True for the character codes "0" to "9" (48 to 57). Every other code a key can produce is refused,
// control characters included: Backspace, Enter, Ctrl+V. `code` is a whole code point, so a character
// outside the 16-bit range (as WM_UNICHAR delivers it) cannot pass by being cut down to a digit.
bool AcceptsTypedCharacter(char32_t code);

// True for a non-empty run of ASCII digits and nothing else: no sign, space, line break or full-width digit.
bool AcceptsPastedText(const std::wstring& text);

}  // namespace korvane
