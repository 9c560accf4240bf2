// The four actions the host runs through nbExecAction (Play, Stop, PlayAdvanced, StopAll) and
// the switch that host messages 1 and 2 turn. Windows build only.
#pragma once

#include <cstdint>

extern volatile long playEnabled;  // 1: Play and PlayAdvanced run; set at load

// Runs action 1-4 with the host's parameter array; other numbers answer 0.
int32_t runAction(int32_t action, char** params);
