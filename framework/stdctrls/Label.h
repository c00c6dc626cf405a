#pragma once
// A window-less text label: the caption drawn with DrawText in the control's
// font, aligned horizontally and vertically, optionally word-wrapped, with the
// accelerator character underlined.

#include <windows.h>

#include <string>
#include <vector>

#include "Controls.h"

// Horizontal alignment of text; shared by the label, the panel and the controls built on them.
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
extern const std::vector<std::string> AlignmentNames;
// Vertical placement of a label's text.
enum TTextLayout { tlTop, tlCenter, tlBottom };
extern const std::vector<std::string> TextLayoutNames;

// The DrawText flag of an alignment (DT_LEFT, DT_RIGHT, DT_CENTER).
UINT AlignmentFlag(TAlignment alignment);

class TLabel : public TGraphicControl {
  ZX_CLASS(TLabel, TGraphicControl)
 public:
  explicit TLabel(TComponent* owner);
  ~TLabel() override;

  void Dispatch(TMessage& message) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  bool ShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool value);
  // When on, the label takes the size of its text whenever text, font or wrapping change.
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  // The control that takes the focus when the label's accelerator key is pressed.
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* value);

  // A label that reacts to a click is a link: it takes the focus by Tab and
  // is shown to screen readers as a link; any other label is static text.
  bool IsLink() const { return static_cast<bool>(OnClick); }
  bool CanFocusWithoutWindow() const override { return IsLink() && Enabled() && Showing(); }
  int AccessibleRole() const override;
  unsigned AccessibleState() const override;
  RECT FocusRect() const override { return ClientRect(); }

 protected:
  void Paint() override;
  // Draws the caption into rect with the given DrawText flags (DT_CALCRECT
  // only measures and updates rect). A disabled label draws embossed grey text.
  virtual void DoDrawText(RECT& rect, UINT flags);
  // The text to draw: the caption.
  virtual std::string GetLabelText() const;
  // Resizes the label to its text when AutoSize is on; a right-aligned label keeps its right edge.
  virtual void AdjustBounds();

  void CMTextChanged(TMessage& m);
  void CMFontChanged(TMessage& m);
  void CMDialogChar(TMessage& m);

 private:
  TAlignment alignment_ = taLeftJustify;
  TTextLayout layout_ = tlTop;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool showAccelChar_ = true;
  bool autoSize_ = true;
  TWinControl* focusControl_ = nullptr;
};

// True when text carries key as its accelerator (the letter after a single &),
// compared without regard to ASCII case.
bool IsAccel(char key, const std::string& text);
