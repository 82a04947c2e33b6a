#pragma once
#include "shell/Startup.h"

// The tool's switches in their order: "-u", "-r", "-b", "-x", "-a".
std::vector<SwitchRow> ToolSwitchTable();
