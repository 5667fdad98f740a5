// Where the program may load DLLs from. It runs elevated and is often started from a Downloads folder;
// a DLL planted beside it must never be loaded in its place by a system DLL that asks for it by name.
#pragma once

namespace korvane {

// Restricts the DLL search of the whole process to the system folder. Called first thing, before anything
// that may load a DLL.
void RestrictDllSearchToSystemFolder();

}  // namespace korvane
