// What the fuzz targets hold the program to, written from the rule for a port rather than from the code:
// a non-empty run of ASCII digits whose value is 1 to 65535, leading zeros allowed, any length.
#pragma once

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace korvane::fuzz {

// The port `text` stands for, or 0 when it is not a port.
inline unsigned ReferencePort(const std::wstring& text) {
    unsigned value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return 0;
        value = value * 10 + static_cast<unsigned>(c - L'0');
        if (value > 65535) return 0;  // more digits can only make it larger
    }
    return value;
}

// A finding: says what was expected and ends the run, so that libFuzzer keeps the input that caused it.
[[noreturn]] inline void Finding(const char* what, const std::wstring& text) {
    std::setlocale(LC_ALL, "C.UTF-8");  // for the wide texts printed with it
    std::fprintf(stderr, "FINDING: %s, for the text \"", what);
    for (wchar_t c : text) std::fprintf(stderr, c >= 32 && c < 127 ? "%lc" : "\\u{%x}", static_cast<wint_t>(c));
    std::fprintf(stderr, "\"\n");
    std::abort();
}

}  // namespace korvane::fuzz
