// The program's entry: one instance per session, then the main window and the message loop.
#include <windows.h>

#include "Forms.h"
#include "Program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const int code = RunProgram();
  delete Application;
  Application = nullptr;
  return code;
}
