#pragma once
// A windowed container framed by an etched line, with its caption set into the
// top edge of the frame.

#include <windows.h>

#include "Controls.h"

class TGroupBox : public TCustomControl {
  ZX_CLASS(TGroupBox, TCustomControl)
 public:
  explicit TGroupBox(TComponent* owner);
  ~TGroupBox() override;

  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;
  // Controls aligned inside the box stay below the caption and inside the frame.
  void AlignControls(TControl* control, RECT& rect) override;

  void CMTextChanged(TMessage& m);
  void CMFontChanged(TMessage& m);

 private:
  // Height of a line of the box's font.
  int CaptionHeight() const;
};
