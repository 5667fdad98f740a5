// The program's captions and publisher address, shared by the windows and the log.
#pragma once

#include "ui/publisher.h"

namespace korvane {

constexpr const wchar_t* kPublisherUrl = KORVANE_PUBLISHER_URL;
constexpr const wchar_t* kMainCaption = L"Korvane-远程端口修改V1.0【" KORVANE_PUBLISHER_URL L"】";

}  // namespace korvane
