// The application icon's artwork, drawn from shapes so that it is sharp at every size it is stored in.
#pragma once

#include <vector>

#include "resources/icon_image.h"

namespace korvane::icon {

enum class Finish {
    kSmooth,  // gradient and glare, for 32-bit colour
    kFlat,    // plain colours that survive reduction to the fixed 256-colour palette without banding
};

// A monitor with a blue screen on a small stand, and an orange arrow leading into a green network port:
// the Remote Desktop listener moving to another port. Drawn anti-aliased at the given size (pixels).
Image DrawAppIcon(int size, Finish finish);

// The images of the program's icon file, in the order Windows expects to choose from:
// 32x32 in 256 colours, 32x32 in 32-bit colour, 48x48 in 256 colours, 48x48 in 32-bit colour.
std::vector<IconEntry> AppIconEntries();

}  // namespace korvane::icon
