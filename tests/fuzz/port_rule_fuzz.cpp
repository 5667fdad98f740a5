// The new port's rule, fuzzed: what 修改 writes, what the new-port field lets be typed and pasted, each
// compared with the reference. port.dict gives the fuzzer the numbers at the rule's edges and those that
// wrap around in 32 and 64 bits.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "port/port_change.h"
#include "port/port_settings.h"
#include "tests/fuzz/reference.h"
#include "tests/shared/ordinary_machine.h"
#include "tests/unit/fakes.h"
#include "ui/new_port_field.h"

using namespace korvane;
using namespace korvane::testing;
using korvane::fuzz::Finding;

namespace {

// One character per byte: ASCII as itself, every other byte a character that a careless check could take
// for a digit: full-width and Arabic-Indic digits, and codes whose lowest 8 or 16 bits are a digit.
wchar_t CharacterFor(uint8_t byte) {
    if (byte < 0x80) return byte;
    const wchar_t digit = static_cast<wchar_t>(L'0' + byte % 10);
    switch (byte >> 5) {
        case 4:
            return static_cast<wchar_t>(0xFF10 + byte % 10);
        case 5:
            return static_cast<wchar_t>(0x0660 + byte % 10);
        case 6:
            return static_cast<wchar_t>(((byte & 31) + 1) << 8 | digit);
        default:
            return static_cast<wchar_t>(0x10000 + digit);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i < size; ++i) text += CharacterFor(data[i]);
    for (wchar_t c : text) {
        const char32_t code = static_cast<char32_t>(c);
        if (AcceptsTypedCharacter(code) != (code >= U'0' && code <= U'9')) Finding("typed character", text);
    }
    const bool digitsOnly = !text.empty() && text.find_first_not_of(L"0123456789") == std::wstring::npos;
    if (AcceptsPastedText(text) != digitsOnly) Finding("pasted text", text);

    FakeWorld world;
    world.registry[kTdsPortPath] = Dword(3389);
    world.registry[kRdpTcpPortPath] = Dword(3389);
    world.windowsRules = expected::WindowsRemoteDesktopRules();
    // Yes to the warning of a port in the dynamic range, and no restart.
    world.answers = fuzz::ReferencePort(text) >= 49152 ? std::vector<int>{6, 7} : std::vector<int>{7};
    FakePlatform platform(world);
    FakeView view;
    view.newPort = text;
    RunPortChange(platform, view);

    const unsigned port = fuzz::ReferencePort(text);
    const bool wrote = world.calls.end() != std::find_if(world.calls.begin(), world.calls.end(),
                                                         [](auto& call) { return call.rfind(L"regwrite", 0) == 0; });
    if (port == 0 && wrote) Finding("a text that is not a port reached the registry", text);
    if (port != 0 && !(world.registry[kRdpTcpPortPath] == Dword(port))) Finding("a port was not written", text);
    return 0;
}
