#include <windows.h>

#include "Sysutils.h"

std::string Exception::ResText(unsigned id) {
  // LoadStringA cuts longer entries and always terminates the text within the buffer.
  char buffer[4096];
  int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer, static_cast<int>(sizeof buffer));
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}
