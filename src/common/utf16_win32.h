// UTF-8 <-> UTF-16 for the Win32 layer: the portable core speaks UTF-8, Windows and the plug-in
// speak UTF-16. Windows build only; owns no state.
#pragma once

#include <string>

// Invalid sequences become U+FFFD / '?'; empty on failure.
std::wstring utf8ToWide(const std::string& text);
std::string wideToUtf8(const std::wstring& text);
