#include "port/main_view.h"

namespace korvane {

void AppendLogLine(MainView& view, const std::wstring& line) {
    view.SetLogText(view.LogText() + line + L"\r\n");
}

}  // namespace korvane
