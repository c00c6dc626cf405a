// A library that loads like the engine but exports nothing: the program must
// start normally when the engine in its folder lacks the self-registration entry.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  return TRUE;
}
