// Ports as the program reads them: the new port as the user typed it, parsed once into a number where it is
// accepted, and the numbers in the firewall's port lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace korvane {

// A non-empty run of ASCII digits 0-9, nothing else (no spaces, signs, points or full-width digits).
bool IsPlainDigits(const std::wstring& text);

// What the new-port field holds: a port (1 to 65535, typed as plain digits, leading zeros allowed), a number
// above the highest port, or no port at all (empty, zero, or anything but digits).
struct NewPort {
    enum class Verdict { Port, AboveHighest, NotAPort };
    Verdict verdict = Verdict::NotAPort;
    uint16_t number = 0;  // for a port
};
NewPort ParseNewPort(const std::wstring& text);

}  // namespace korvane
