// The component gallery's entry: the gallery window and the message loop.
#include <windows.h>

#include "Forms.h"
#include "Galleryform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitApplication();
  try {
    Application->Initialize();
    Application->SetTitle("Zapnix gallery");
    Application->CreateForm(GalleryForm);
    Application->Run();
  } catch (const Exception&) {
    Application->HandleException(nullptr);
  }
  delete Application;
  Application = nullptr;
  return 0;
}
