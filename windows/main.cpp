// nodarix-tool: one window per run, chosen by the first command-line switch.
#include "windows/SwitchTable.h"

int main(int argc, char** argv) { return RunStartup(argc, argv, ToolSwitchTable()); }
