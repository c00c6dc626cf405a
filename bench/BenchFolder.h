#pragma once
// The folder of the running benchmark, where the build puts the programs it drives.

#include <windows.h>

#include <string>

inline std::string FolderOfThisProgram() {
  char path[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path, length < sizeof(path) ? length : 0);
  const size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
}
