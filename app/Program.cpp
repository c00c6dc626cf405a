#include "Program.h"

#include "Forms.h"
#include "Unit1.h"

namespace {
void CreateForm1() { Application->CreateForm(Form1); }

// A window of the main window's class and text belongs to a running instance,
// also to one that does not hold the mutex (an earlier build of the program).
bool MainWindowExists() {
  return FindWindowA("TForm1", "Vantrel Zapnix") != nullptr;
}
}  // namespace

void (*CreateMainWindow)() = &CreateForm1;

TInstanceLock::TInstanceLock() {
  mutex_ = CreateMutexA(nullptr, FALSE, kInstanceMutex);
  if (!mutex_) return;
  // Abandoned means its last owner died without releasing it: it is ours now.
  const DWORD waited = WaitForSingleObject(mutex_, 0);
  held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

TInstanceLock::~TInstanceLock() {
  if (held_) ReleaseMutex(mutex_);
  if (mutex_) CloseHandle(mutex_);
}

int RunProgram() {
  // Two starts at the same moment: only one of them gets the mutex.
  TInstanceLock lock;
  if (lock.Available() && !lock.Held()) return 1;
  if (GlobalFindAtomA(kInstanceAtom) != 0) {
    if (!lock.Available() || MainWindowExists()) return 1;
    // No live owner: the markers of an instance that ended without closing.
    PurgeAtom(kInstanceAtom);
    PurgeAtom("PopupZapnixRunning");
  }
  GlobalAddAtomA(kInstanceAtom);
  try {
    InitApplication();
    Application->Initialize();
    Application->SetTitle("Zapnix");
    CreateMainWindow();
    Application->Run();
  } catch (const Exception&) {
    if (Application) Application->HandleException(nullptr);
    // The window did not close, so its markers are still there: withdraw
    // them as closing would, so that blocking does not stay announced with no
    // program to switch it off and the next start is not refused.
    PurgeAtom("PopupZapnixRunning");
    PurgeAtom(kInstanceAtom);
  }
  return 0;
}
