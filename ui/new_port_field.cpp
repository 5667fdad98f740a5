#include "ui/new_port_field.h"

#include "port/port_number.h"

namespace korvane {

bool AcceptsTypedCharacter(char32_t code) {
    return code >= U'0' && code <= U'9';
}

bool AcceptsPastedText(const std::wstring& text) {
    // The same test 修改 applies before anything is written.
    return IsPlainDigits(text);
}

}  // namespace korvane
