// The new-port field (Text2) on Windows: a subclass of its edit box that applies the field's rules
// (ui/new_port_field.h) to every way text gets in, empties the field on a double-click and gives it
// the tooltip that says so.
#pragma once

#include <windows.h>

namespace korvane {

// Subclasses `edit` for the rest of its life; the subclass and its tooltip go when the edit is destroyed.
void AttachNewPortField(HWND edit);

}  // namespace korvane
