// Window classes and control identifiers of the program's windows. The end-to-end test driver finds
// the controls by these identifiers too, so they are part of the program's outside surface.
#pragma once

namespace korvane {

constexpr const wchar_t* kMainWindowClass = L"KorvaneForm1";
constexpr const wchar_t* kAboutWindowClass = L"KorvaneForm2";

enum MainControlId : int {
    kIdFrame1 = 1001,
    kIdText1 = 1002,
    kIdLabel1 = 1003,
    kIdCommand1 = 1004,
    kIdFrame2 = 1005,
    kIdRizhi = 1006,
    kIdText2 = 1007,
    kIdCommand2 = 1008,
    kIdLabel2 = 1009,
    kIdLabel3 = 1010,
    kIdMenuAC1 = 2001,  // the menu bar's only item, 关于程序
};

enum AboutControlId : int {
    kIdAboutLabel1 = 3001,
    kIdAboutLabel2 = 3002,
    kIdAboutLabel3 = 3003,
    kIdAboutLabel4 = 3004,
    kIdAboutLabel5 = 3005,
    kIdAboutLabel6 = 3006,
    kIdAboutLabel7 = 3007,
    kIdAboutLabel8 = 3008,
    kIdAboutLine1 = 3010,
};

}  // namespace korvane
