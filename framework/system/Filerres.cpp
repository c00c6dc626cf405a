#include <windows.h>

#include "Filer.h"
#include "Resstream.h"

void ReadComponentRes(TComponent* root, const std::string& resName) {
  TResourceStream stream(GetModuleHandleA(nullptr), resName, MAKEINTRESOURCEA(10));  // RT_RCDATA
  std::string text(static_cast<size_t>(stream.Size()), '\0');
  stream.ReadBuffer(text.data(), stream.Size());
  ReadComponentText(root, text);
}
