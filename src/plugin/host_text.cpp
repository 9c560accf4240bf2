// Host text: ANSI code page conversions, GlobalAlloc blocks for the host, sanitising of every
// text read from the host, and the parameter slots of the host's action array. Owns no state:
// the blocks it makes belong to whoever receives them.
#include "plugin/host_text.h"

#include <vector>

std::wstring ansiToWide(const char* text, int bytes) {
  if (!text || bytes <= 0) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text, bytes, &out[0], n) != n) return std::wstring();
  return out;
}

std::string wideToAnsi(const std::wstring& text, int& ok) {
  ok = 1;
  if (text.empty()) return std::string();
  int len = static_cast<int>(text.size());
  int n = WideCharToMultiByte(CP_ACP, 0, text.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) {
    ok = 0;
    return std::string();
  }
  std::string out(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(CP_ACP, 0, text.data(), len, &out[0], n, nullptr, nullptr) != n) {
    ok = 0;
    return std::string();
  }
  return out;
}

char* toHostText(const std::wstring& text) {
  int ok = 0;
  std::string bytes = wideToAnsi(text, ok);
  if (!ok) return nullptr;
  char* block = static_cast<char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes.size() + 1));
  if (!block) return nullptr;
  if (!bytes.empty()) memcpy(block, bytes.data(), bytes.size());
  return block;  // the terminating zero comes from GMEM_ZEROINIT
}

// Whether n bytes at p can be read (or written) without faulting. These ask the memory manager
// (VirtualQuery) rather than touching the memory as IsBadReadPtr/IsBadWritePtr do: probing by
// touching swallows guard-page faults of other threads' stacks and relies on structured
// exception handling, which the emulated Wine our tests run under does not survive.
static int memoryAllows(const void* p, size_t n, DWORD allowed) {
  if (!p) return 0;
  uintptr_t at = reinterpret_cast<uintptr_t>(p);
  const uintptr_t end = at + n;
  if (end < at) return 0;  // wraps around the address space
  while (at < end) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info) return 0;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) ||
        !(info.Protect & allowed))
      return 0;
    at = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
  }
  return 1;
}

static const DWORD ReadableProtections = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                         PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                                         PAGE_EXECUTE_WRITECOPY;
static const DWORD WritableProtections =
    PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

int hostMemoryReadable(const void* p, size_t n) { return memoryAllows(p, n, ReadableProtections); }
int hostMemoryWritable(void* p, size_t n) { return memoryAllows(p, n, WritableProtections); }

static int acceptedHostChar(wchar_t c) {
  return (c >= 32 && c <= 126) || c == 9 || c == 10 || c == 13;
}

std::wstring cleanHostText(const std::wstring& text) {
  if (text.empty() || text.size() > MaxHostTextChars) return std::wstring();
  size_t n = 0;
  while (n < text.size() && acceptedHostChar(text[n])) ++n;
  return text.substr(0, n);
}

// An ANSI character takes one or two bytes, so a text whose terminator is not within
// 2 * 500 bytes is certainly longer than 500 characters and reads as empty anyway; the scan
// stops there instead of walking the host's memory. Readability is checked once per page, so
// a text that runs into unreadable memory is refused rather than faulting.
std::wstring readHostText(const char* text) {
  if (!text) return std::wstring();
  const size_t maxBytes = 2 * MaxHostTextChars;
  const uintptr_t pageSize = 4096;
  size_t length = 0;
  for (;; ++length) {
    const char* p = text + length;
    if (length == 0 || (reinterpret_cast<uintptr_t>(p) % pageSize) == 0)
      if (!hostMemoryReadable(p, 1)) return std::wstring();
    if (*p == '\0') break;
    if (length >= maxBytes) return std::wstring();
  }
  return cleanHostText(ansiToWide(text, static_cast<int>(length)));
}

std::wstring readParam(char** params, int index) {
  if (!params || index < 0) return std::wstring();
  // The slot itself is checked too: a bad array pointer must read as empty, not fault.
  char** slot = params + index;
  if (!hostMemoryReadable(slot, sizeof(char*))) return std::wstring();
  return readHostText(*slot);
}

int writeParam(char** params, int index, const std::wstring& text) {
  if (!params || index < 0) return 0;
  char** slot = params + index;
  if (!hostMemoryWritable(slot, sizeof(char*))) return 0;
  *slot = toHostText(text);
  return 1;
}
