// UTF-8 <-> UTF-16 conversions through the system's code-page functions. No state.
#include "common/utf16_win32.h"

#include <windows.h>

std::wstring utf8ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int len = static_cast<int>(text.size());
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), len, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), len, &out[0], n);
  return out;
}

std::string wideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int len = static_cast<int>(text.size());
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), len, &out[0], n, nullptr, nullptr);
  return out;
}
