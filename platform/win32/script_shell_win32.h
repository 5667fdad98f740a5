#pragma once

#include <memory>

#include "platform/platform.h"

namespace korvane {

// Creates the Windows Script Host shell object ("wscript.shell") for one run.
std::unique_ptr<ScriptShell> CreateWshShell(Status& status);

}  // namespace korvane
