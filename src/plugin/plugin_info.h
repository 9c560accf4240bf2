// What the plug-in tells the host about itself: the identification texts of nbInitPlugIn, the
// table of its four actions, and the About box text. Constant tables only; owns no state.
// Windows build only.
#pragma once

#include <cstdint>
#include <string>

extern const wchar_t* const PluginTitle;
extern const wchar_t* const PluginAuthor;
extern const wchar_t* const PluginDescription;

struct ActionInfo {
  int32_t number;              // the host's action number, 1-4
  const wchar_t* name;         // name the host scripts call it by
  const wchar_t* description;  // shown by the host's action list
  int32_t paramCount;          // parameters, each of type code 1
};

constexpr int ActionCount = 4;
extern const ActionInfo ActionTable[ActionCount];

constexpr int ParamTypeBytes = 32;  // size of the parameter-type array handed to addAction

// The About box text: its lines joined by carriage return + line feed.
std::wstring aboutText();
