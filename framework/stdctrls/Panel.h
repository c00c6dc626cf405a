#pragma once
// A windowed container with a three-dimensional bevel and an optional centred
// caption, and the frame-drawing helper that the bevel uses.

#include <windows.h>

#include <string>
#include <vector>

#include "Controls.h"
#include "Label.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
extern const std::vector<std::string> BevelCutNames;

// Draws `width` nested one-pixel frames into rect: the left and top edges in
// topColor, the right and bottom edges (one pixel inside rect's right and
// bottom) in bottomColor; rect shrinks by width on every side. The canvas pen
// is left one pixel wide and solid, in bottomColor.
void Frame3D(TCanvas& canvas, RECT& rect, TColor topColor, TColor bottomColor, int width);
inline void Frame3D(TCanvas* canvas, RECT& rect, TColor topColor, TColor bottomColor, int width) {
  Frame3D(*canvas, rect, topColor, bottomColor, width);
}

class TPanel : public TCustomControl {
  ZX_CLASS(TPanel, TCustomControl)
 public:
  explicit TPanel(TComponent* owner);
  ~TPanel() override;

  void Dispatch(TMessage& message) override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut value);
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut value);
  // At least 1.
  int BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int value);
  // Space in the panel's colour between the outer and the inner bevel; at least 0.
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  // bsNone or bsSingle (a one-pixel window border); other values count as bsSingle.
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle value);

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  // Controls aligned inside the panel stay clear of its bevels and border.
  void AlignControls(TControl* control, RECT& rect) override;
  // The highlight and shadow colours of a bevel: swapped for a lowered one.
  void AdjustColors(TBevelCut bevel, TColor& topColor, TColor& bottomColor) const;

  void CMTextChanged(TMessage& m);

 private:
  void BevelChanged();

  TAlignment alignment_ = taCenter;
  TBevelCut bevelOuter_ = bvRaised;
  TBevelCut bevelInner_ = bvNone;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  TFormBorderStyle borderStyle_ = bsNone;
};
