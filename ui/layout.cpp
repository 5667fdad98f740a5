#include "ui/layout.h"

#include <algorithm>
#include <cstdint>

#include "ui/control_ids.h"

namespace korvane {

int TwipsToPixels(int twips, int dpi) {
    // MulDiv rounds half away from zero.
    const int64_t product = static_cast<int64_t>(twips) * dpi;
    const int64_t half = 720;
    return static_cast<int>(product >= 0 ? (product + half) / 1440 : -((-product + half) / 1440));
}

int FontPixelHeight(int hundredthsOfPoint, int dpi) {
    const int64_t product = static_cast<int64_t>(hundredthsOfPoint) * dpi;
    return static_cast<int>((product + 3600) / 7200);
}

int LabelLengthForText(int start, int designed, int needed, int end) {
    return std::max(designed, std::min(needed, end - start));
}

namespace {
// Frame1 holds Text1, Label1, Command1 and Frame2; Frame2 holds rizhi. Text2 and Command2 lie over
// Frame1 but belong to the window.
constexpr int kFrame1Left = 120, kFrame1Top = 120;
constexpr int kFrame2Left = kFrame1Left + 120, kFrame2Top = kFrame1Top + 1680;
}  // namespace

const ControlPlacement kMainLayout[] = {
    {kIdFrame1, {kFrame1Left, kFrame1Top, 4695, 3495}},
    {kIdText1, {kFrame1Left + 360, kFrame1Top + 360, 1575, 555}},
    {kIdLabel1, {kFrame1Left + 2160, kFrame1Top + 480, 735, 255}},
    {kIdCommand1, {kFrame1Left + 480, kFrame1Top + 1080, 1455, 495}},
    {kIdFrame2, {kFrame2Left, kFrame2Top, 4455, 1695}},
    {kIdRizhi, {kFrame2Left + 120, kFrame2Top + 240, 4215, 1335}},
    {kIdText2, {3120, 480, 1575, 555}},
    {kIdCommand2, {2880, 1200, 1455, 495}},
    {kIdLabel2, {1320, 3720, 975, 255}},
    {kIdLabel3, {2280, 3720, 1335, 255}},
};
const std::size_t kMainLayoutCount = sizeof kMainLayout / sizeof kMainLayout[0];

const ControlPlacement kAboutLayout[] = {
    {kIdAboutLabel1, {960, 120, 2295, 255}},   {kIdAboutLine1, {600, 480, 3480 - 600, 15}},
    {kIdAboutLabel2, {120, 720, 3735, 255}},   {kIdAboutLabel3, {120, 960, 3735, 255}},
    {kIdAboutLabel4, {120, 1200, 2895, 255}},  {kIdAboutLabel5, {120, 1440, 3015, 255}},
    {kIdAboutLabel8, {120, 1680, 3855, 255}},  {kIdAboutLabel6, {2640, 1920, 1215, 255}},
    {kIdAboutLabel7, {1800, 2160, 2175, 255}},
};
const std::size_t kAboutLayoutCount = sizeof kAboutLayout / sizeof kAboutLayout[0];

}  // namespace korvane
