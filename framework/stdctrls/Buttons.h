#pragma once
// The speed button: a window-less button with a glyph and a caption, painted by
// its parent, which can stay down alone or as one of a group.

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Controls.h"
#include "Graphics.h"

enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
extern const std::vector<std::string> ButtonLayoutNames;
// The look of the button, and the glyph image that goes with it: up, disabled,
// held down by the mouse, and down as the chosen button of a group.
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TSpeedButton : public TGraphicControl {
  ZX_CLASS(TSpeedButton, TGraphicControl)
 public:
  explicit TSpeedButton(TComponent* owner);
  ~TSpeedButton() override;

  void Dispatch(TMessage& message) override;
  // Runs OnClick whether or not the button is enabled, as a program's own call
  // of a button's click does.
  void Click() override;

  TBitmap* Glyph() const { return glyph_.get(); }
  // Copies the picture; the button keeps its own.
  void SetGlyph(TBitmap* value);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int value);
  bool Flat() const { return flat_; }
  void SetFlat(bool value);
  TButtonLayout Layout() const { return layout_; }
  void SetLayout(TButtonLayout value);
  int Margin() const { return margin_; }
  void SetMargin(int value);
  int Spacing() const { return spacing_; }
  void SetSpacing(int value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool Down() const { return down_; }
  void SetDown(bool value);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int value);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool value);

  TButtonState State() const { return state_; }
  bool MouseInControl() const { return mouseInControl_; }

  // A shown, enabled button takes the focus by Tab through its parent's window.
  bool CanFocusWithoutWindow() const override { return Enabled() && Showing(); }
  int AccessibleRole() const override;
  unsigned AccessibleState() const override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

  // Where the glyph's top-left corner and the caption's rectangle go for a
  // given client rectangle, glyph size and caption size.
  struct Placement {
    POINT glyph{0, 0};
    RECT text{0, 0, 0, 0};
  };
  Placement PlaceContents(const RECT& client, SIZE glyph, SIZE text) const;

  void CMMouseEnter(TMessage& m);
  void CMMouseLeave(TMessage& m);
  void CMEnabledChanged(TMessage& m);
  void CMButtonPressed(TMessage& m);
  // Alt and the letter after the caption's & click a shown, enabled button.
  void CMDialogChar(TMessage& m);

 private:
  void GlyphChanged(TObject* sender);
  // Size of one glyph image, zero when there is no glyph.
  SIZE GlyphSize() const;
  // The look to paint now: disabled whenever the button is.
  TButtonState PaintState() const;
  // The image of the state, or an embossed grey image made from the glyph
  // when the button is disabled and the glyph has no image of its own for that.
  void DrawGlyph(POINT at, TButtonState state);
  void DrawCaption(HDC dc, RECT r, TButtonState state);
  // Tells the other buttons of the group that this one went down.
  void UpdateExclusive();

  std::unique_ptr<TBitmap> glyph_;
  int numGlyphs_ = 1;
  bool flat_ = false;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  bool transparent_ = true;
  bool down_ = false;
  int groupIndex_ = 0;
  bool allowAllUp_ = false;
  TButtonState state_ = bsUp;
  bool dragging_ = false;
  bool mouseInControl_ = false;
};
