// The main window's caption, which carries the publisher's address.
#pragma once

#include "port/publisher.h"

namespace korvane {

constexpr const wchar_t* kMainCaption = L"Korvane-远程端口修改V1.0【" KORVANE_PUBLISHER_URL L"】";

}  // namespace korvane
