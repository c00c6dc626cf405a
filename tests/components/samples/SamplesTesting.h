#pragma once
// Shared by the sample controls' tests: a form class to stream them through,
// and painting a window-less control into a memory picture.

#include <windows.h>

#include <string>

#include "Filer.h"
#include "Forms.h"
#include "Painting.h"

namespace samples_testing {

// A rectangle as "(left, top, right, bottom)", for comparisons that say what differs.
inline std::string Str(const RECT& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
         std::to_string(r.bottom) + ")";
}

class TSamplesForm : public TForm {
  ZX_CLASS(TSamplesForm, TForm)
 public:
  using TForm::TForm;
};

// Writes the form and reads the text back into a new one.
inline std::unique_ptr<TSamplesForm> RoundTrip(TSamplesForm& form, std::string* text = nullptr) {
  RegisterClassInfo(TSamplesForm::StaticClass());
  std::string written = WriteComponentText(&form);
  auto copy = std::make_unique<TSamplesForm>(nullptr);
  ReadComponentText(copy.get(), written);
  if (text) *text = written;
  return copy;
}

// What a window-less control paints, at the picture's top-left corner.
inline void PaintInto(TControl& control, painting::Surface& surface) {
  control.Perform(WM_PAINT, reinterpret_cast<WPARAM>(surface.Dc()), 0);
  GdiFlush();
}

// Whether the form description carries the property for the form's first child.
inline bool Written(const std::string& text, const std::string& property) {
  const size_t child = text.find("  object ");
  return child != std::string::npos && text.find(" " + property + " = ", child) != std::string::npos;
}

}  // namespace samples_testing
