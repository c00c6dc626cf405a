#pragma once
// The lists tool's access to the program's store and to the running program.
// Lists are written through the program's own store routine; they are read
// with the wide-character registry calls, so that a name the ANSI code page
// cannot hold is seen as it is rather than as question marks.

#include <windows.h>

#include <string>
#include <vector>

namespace lists {

// Selector 0 is the white list, 1 the black list, as in the program's store.
const char* ListName(int selector);

// The list's value names in the registry's enumeration order; a missing
// subkey is an empty list. Returns the registry's result.
LONG ReadList(int selector, std::vector<std::u16string>& names);
// The number of the list's values; a missing subkey counts 0.
LONG CountList(int selector, DWORD& count);
// Replaces the stored list as the program does; raises ERegistryException
// naming the URL whose write failed.
void WriteList(int selector, const std::vector<std::string>& ansiNames);
// Puts back names read with ReadList after a failed write: the subkey is
// erased and each name written with an empty text. False when a write failed.
bool RestoreList(int selector, const std::vector<std::u16string>& names);

// The system's message for an error code, without the line end.
std::string SystemMessage(DWORD code);

// Whether the program runs: its main window exists, or another process holds
// its instance lock.
bool ProgramRuns();

// Holds the program's instance lock while the tool writes a list, so that the
// program cannot start meanwhile and later overwrite what was written.
class InstanceHold {
 public:
  InstanceHold();
  InstanceHold(const InstanceHold&) = delete;
  InstanceHold& operator=(const InstanceHold&) = delete;
  ~InstanceHold();
  // Waits up to the time for the lock; false while another process holds it.
  // A lock whose name is taken by another kind of object cannot be held:
  // then only the main window tells whether the program runs.
  bool Take(DWORD timeoutMs);
  bool Held() const { return held_; }
  bool Available() const { return mutex_ != nullptr; }

 private:
  HANDLE mutex_ = nullptr;
  bool held_ = false;
};

// Asks the running program to close with the message it serves for that and
// waits until its process has ended. False with the reason when it did not.
bool CloseProgram(DWORD timeoutMs, std::string& why);

}  // namespace lists
