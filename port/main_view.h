// What the change and start-up procedures see of the main window: the two port fields and the activity
// log. The main window implements it; the unit tests stand in for it.
#pragma once

#include <string>

namespace korvane {

class MainView {
public:
    virtual ~MainView() = default;
    virtual std::wstring NewPortText() const = 0;  // Text2
    virtual void SetNewPortText(const std::wstring& text) = 0;
    virtual void SetCurrentPortText(const std::wstring& text) = 0;  // Text1
    virtual void DisableCurrentPort() = 0;
    virtual std::wstring LogText() const = 0;  // rizhi
    // Stores the whole log text and scrolls so that its end is visible.
    virtual void SetLogText(const std::wstring& text) = 0;
};

// Appends one line to the activity log: the current text, the line, then CR LF.
void AppendLogLine(MainView& view, const std::wstring& line);

}  // namespace korvane
