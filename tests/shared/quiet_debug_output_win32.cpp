// Linked into GoogleTest for the i686 test programs: GoogleTest copies every failed or skipped
// result to OutputDebugStringA, for a debugger's output window. Windows delivers that text by
// raising an exception, and under qemu-i386 emulation Wine's exception dispatch, with another
// thread of the program blocked in a wait (GoogleTest's own thread-local watcher is one), kills
// the program: a skipped test would then look like a crash. The results still reach stdout, which
// is all ctest reads, so the program's calls to OutputDebugStringA go here instead of to
// kernel32. Defining the import's pointer keeps the linker from taking kernel32's.
namespace {
void __stdcall quietDebugString(const char* text) { (void)text; }
}  // namespace

extern "C" {
void(__stdcall* quietDebugStringImport)(const char*) __asm__("__imp__OutputDebugStringA@4") =
    quietDebugString;
}
