// Text that crosses the boundary with the host: zero-terminated byte strings in the system ANSI
// code page, handed over in GlobalAlloc blocks. Inside the plug-in text is UTF-16 (the core's
// UTF-8 edge is common/utf16_win32.h). Owns no state.
// Windows build only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/utf16_win32.h"  // the core's UTF-8 edge, used with host text throughout

constexpr size_t MaxHostTextChars = 500;  // characters; longer host texts read as empty

// ANSI <-> UTF-16 (code page 0). Empty on failure.
std::wstring ansiToWide(const char* text, int bytes);
std::string wideToAnsi(const std::wstring& text, int& ok);

// A new GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT) block holding text in the ANSI code page with its
// terminating zero (length + 1 bytes), or null when the conversion or the allocation fails. Who
// receives the block decides who frees it.
char* toHostText(const std::wstring& text);

// Whether n bytes at p may be read / written, asked of the memory manager without touching them
// (the plug-in's IsBadReadPtr / IsBadWritePtr).
int hostMemoryReadable(const void* p, size_t n);
int hostMemoryWritable(void* p, size_t n);

// Every text read from the host passes through here: empty stays empty, more than 500
// characters becomes empty, otherwise the longest prefix of characters 32-126, tab, line feed
// and carriage return.
std::wstring cleanHostText(const std::wstring& text);

// Reads a zero-terminated ANSI text that the host owns, without trusting it: null, unreadable,
// or not terminated before it could be more than 500 characters (or before unreadable memory)
// reads as empty. The result has passed cleanHostText.
std::wstring readHostText(const char* text);

// Parameter slot i of the host's array (an array of pointers to ANSI texts). A null array, an
// unreadable slot, or a null or unreadable text reads as empty.
std::wstring readParam(char** params, int index);
// Stores a new toHostText block of text in slot i when the array is non-null and the slot is
// writable; the block the slot held before belongs to the host and is left alone. 1 when the
// slot was written (the block stored may be null when the allocation failed).
int writeParam(char** params, int index, const std::wstring& text);
