#include "ui/new_port_field.h"

namespace korvane {

bool AcceptsTypedCharacter(char32_t code) {
    return code >= U'0' && code <= U'9';
}

bool AcceptsPastedText(const std::wstring& text) {
    if (text.empty()) return false;
    for (wchar_t c : text) {
        if (!AcceptsTypedCharacter(static_cast<char32_t>(c))) return false;
    }
    return true;
}

}  // namespace korvane
