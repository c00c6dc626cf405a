#pragma once
// The program's run from start to end: one instance per session, the main
// window and the message loop. The entry function only calls RunProgram.

#include <windows.h>

class TForm1;

// Names of the single-instance guard. The atom is what the engine and other
// peers see; the mutex, which the system releases when its owner dies, tells
// a live instance from an atom that a process left behind when it ended
// without closing its window.
inline constexpr char kInstanceAtom[] = "PopupZapnix";
inline constexpr char kInstanceMutex[] = "Local\\PopupZapnixInstance";

// Holds the session's instance mutex for as long as it lives.
class TInstanceLock {
 public:
  TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;
  ~TInstanceLock();
  // False when a live process holds the mutex: another instance runs.
  bool Held() const { return held_; }
  // False when the mutex could not be made at all (its name taken by another
  // kind of object): then only the atom can tell.
  bool Available() const { return mutex_ != nullptr; }

 private:
  HANDLE mutex_ = nullptr;
  bool held_ = false;
};

// Runs the program; returns the process exit code: 1 when another instance
// runs, otherwise 0.
int RunProgram();

// Creates the main window through the application object; tests replace it
// to make the creation fail.
extern void (*CreateMainWindow)();
