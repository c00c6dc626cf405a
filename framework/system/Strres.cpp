#include "Strres.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <vector>

std::string LoadStringBuffer(unsigned id, size_t bufferSize) {
  // A zero size would make LoadStringA hand out a pointer into the resource
  // instead of copying; there is nothing to copy into anyway.
  if (bufferSize == 0) return std::string();
  bufferSize = std::min<size_t>(bufferSize, INT_MAX);
  std::vector<char> buffer(bufferSize, '\0');
  int n = LoadStringA(GetModuleHandleA(nullptr), id, buffer.data(), static_cast<int>(bufferSize));
  if (n <= 0) return std::string();
  return std::string(buffer.data(), std::min<size_t>(static_cast<size_t>(n), bufferSize - 1));
}
