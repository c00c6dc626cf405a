// The program's entry: one instance per desktop, then the main window and the message loop.
#include <windows.h>

#include "Forms.h"
#include "Unit1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The atom marks a running instance; a second start ends here, silently.
  if (GlobalFindAtomA("PopupZapnix") != 0) return 1;
  GlobalAddAtomA("PopupZapnix");
  try {
    InitApplication();
    Application->Initialize();
    Application->SetTitle("Zapnix");
    Application->CreateForm(Form1);
    Application->Run();
  } catch (const Exception& e) {
    if (Application) Application->ShowException(e);
  }
  delete Application;
  Application = nullptr;
  return 0;
}
