// Which of the machine's TCP listeners is Remote Desktop's own, told by the service Windows names as each
// one's owner rather than by its process: the Remote Desktop service shares its svchost process with other
// services on Windows 7 to Server 2016, and on later Windows with 3.5 GB of memory or less, so a listener in
// that process may well be another service's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace korvane {

// Whether two names of programs, services or listener owners are the same as Windows compares them: without
// regard to case.
bool SameName(const std::wstring& a, const std::wstring& b);

// Whether Windows names the Remote Desktop service as the listener's owner. An owner Windows does not name
// proves nothing: such a listener counts as another program's.
bool IsRemoteDesktopListener(const TcpListener& listener);

// Whether the listener is the kernel's: Windows names "System" as its owner, or it belongs to process 4.
bool IsKernelListener(const TcpListener& listener);

// Windows 7 and Server 2008 R2 (6.1) run Remote Desktop's listener in the kernel, as their firewall rules show;
// from Windows 8 and Server 2012 on it runs in the Remote Desktop service. An unknown version counts as a
// current one. There the kernel owns other listeners too (IIS, WinRM, file sharing): a kernel listener may or
// may not be Remote Desktop's, and none is known to be.
bool ListensInKernel(WindowsVersion version);

// The ports Remote Desktop's own listener listens on now, each once; empty when that cannot be told: its
// service does not run, the listener table cannot be read, or Windows names no listener as its own (the
// kernel's on Windows 7, Remote Desktop turned off).
std::vector<uint16_t> RemoteDesktopListenerPorts(Platform& platform);

// Whether `port` is the one Remote Desktop uses now: a port its own listener listens on (`listening`), where
// that is known; otherwise the configured RDP-Tcp port (`configured`, 0 when it could not be read). While a
// change waits for the restart the two differ: the listener is still on the old port.
bool IsCurrentRemoteDesktopPort(const std::vector<uint16_t>& listening, uint32_t configured, uint32_t port);

}  // namespace korvane
