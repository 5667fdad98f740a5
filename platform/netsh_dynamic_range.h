// Reading the dynamic port range from what `netsh interface ipv4 show dynamicport tcp` prints, which is where
// Windows 7 and Server 2008 R2 tell it: a heading, then two labelled lines, the start port and the number of
// ports ("Start Port      : 49152", "Number of Ports : 16384"; "启动端口        : 49152", "端口数          : 16384").
// The labels are in the system's language and its OEM code page (936 on Chinese Windows), so only what follows
// each colon is read: in every OEM code page, double-byte ones included, the bytes of ':' and of the ASCII
// digits are never part of another character.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

// The range in `output`, netsh's bytes as it printed them: the values after the first two colons, in order the
// start and the number of ports. False, `range` untouched, unless both are plain numbers that make a range of
// ports (from 1, at least one port, none above 65535).
bool ParseNetshDynamicRange(const std::vector<char>& output, DynamicPortRange& range);

}  // namespace korvane
