#include "Buttons.h"

#include <oleacc.h>

#include <algorithm>
#include <array>

#include "Label.h"

const std::vector<std::string> ButtonLayoutNames = {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"};

namespace {
// Reads a pixel of a 32-bpp bitmap as 0x00BBGGRR.
TColor Pixel32(const uint8_t* row, int x) {
  const uint8_t* p = row + 4 * static_cast<ptrdiff_t>(x);
  return RGB(p[2], p[1], p[0]);
}

void SetPixel32(uint8_t* row, int x, TColor color) {
  uint8_t* p = row + 4 * static_cast<ptrdiff_t>(x);
  p[0] = GetBValue(color);
  p[1] = GetGValue(color);
  p[2] = GetRValue(color);
  p[3] = 0;
}
}  // namespace

const TClassInfo& TSpeedButton::StaticClass() {
  static const TClassInfo info = DefineClass<TSpeedButton>("TSpeedButton", [](TClassBuilder<TSpeedButton>& c) {
    // GroupIndex comes before Down: a button is down only as a member of a group.
    c.Bool("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp, false)
        .Int("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex, 0)
        .Bool("Down", &TSpeedButton::Down, &TSpeedButton::SetDown, false)
        .Bool("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat, false)
        .Obj("Glyph", &TSpeedButton::Glyph)
        .Enum("Layout", ButtonLayoutNames, &TSpeedButton::Layout, &TSpeedButton::SetLayout, blGlyphLeft)
        .Int("Margin", &TSpeedButton::Margin, &TSpeedButton::SetMargin, -1)
        .Int("NumGlyphs", &TSpeedButton::NumGlyphs, &TSpeedButton::SetNumGlyphs, 1)
        .Int("Spacing", &TSpeedButton::Spacing, &TSpeedButton::SetSpacing, 4)
        .Bool("Transparent", &TSpeedButton::Transparent, &TSpeedButton::SetTransparent, true);
  });
  return info;
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), glyph_(std::make_unique<TBitmap>()) {
  // Clicks are reported by MouseUp, which knows about groups and dragging.
  ControlStyle = {csCaptureMouse, csDoubleClicks};
  glyph_->OnChange = TNotifyEvent(this, &TSpeedButton::GlyphChanged);
  SetColor(clBtnFace);
  SetBounds(Left(), Top(), 23, 22);
}

TSpeedButton::~TSpeedButton() { glyph_->OnChange = nullptr; }

void TSpeedButton::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_MOUSEENTER: return CMMouseEnter(m);
    case CM_MOUSELEAVE: return CMMouseLeave(m);
    case CM_ENABLEDCHANGED: return CMEnabledChanged(m);
    case CM_BUTTONPRESSED: return CMButtonPressed(m);
    case CM_DIALOGCHAR: return CMDialogChar(m);
    default: return inherited::Dispatch(m);
  }
}

void TSpeedButton::Click() { inherited::Click(); }

int TSpeedButton::AccessibleRole() const { return ROLE_SYSTEM_PUSHBUTTON; }

unsigned TSpeedButton::AccessibleState() const { return down_ ? STATE_SYSTEM_PRESSED : 0; }

void TSpeedButton::CMDialogChar(TMessage& m) {
  if (!Enabled() || !Showing() || !IsAccel(static_cast<char>(m.WParam), Caption())) return;
  Click();
  m.Result = 1;
}

void TSpeedButton::SetGlyph(TBitmap* value) { glyph_->Assign(value); }

void TSpeedButton::GlyphChanged(TObject*) {
  // A strip of square images says how many it holds; anything else is one image.
  int w = glyph_->Width(), h = glyph_->Height();
  if (!glyph_->Empty() && h > 0 && w % h == 0) {
    int n = w / h;
    numGlyphs_ = n >= 1 && n <= 4 ? n : 1;
  }
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int value) {
  value = std::clamp(value, 1, 4);
  if (numGlyphs_ == value) return;
  numGlyphs_ = value;
  Invalidate();
}

void TSpeedButton::SetFlat(bool value) {
  if (flat_ == value) return;
  flat_ = value;
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout value) {
  if (layout_ == value) return;
  layout_ = value;
  Invalidate();
}

void TSpeedButton::SetMargin(int value) {
  if (value < -1) value = -1;
  if (margin_ == value) return;
  margin_ = value;
  Invalidate();
}

void TSpeedButton::SetSpacing(int value) {
  if (value < -1) value = -1;
  if (spacing_ == value) return;
  spacing_ = value;
  Invalidate();
}

void TSpeedButton::SetTransparent(bool value) {
  if (transparent_ == value) return;
  transparent_ = value;
  if (value) ControlStyle >> csOpaque;
  else ControlStyle << csOpaque;
  Invalidate();
}

void TSpeedButton::SetDown(bool value) {
  if (groupIndex_ == 0) value = false;
  if (down_ == value) return;
  // The down button of a group goes up only when another one goes down,
  // unless the group may have none down.
  if (down_ && !allowAllUp_) return;
  down_ = value;
  if (state_ != bsDisabled) state_ = value ? bsExclusive : bsUp;
  Invalidate();
  if (value) UpdateExclusive();
}

void TSpeedButton::SetGroupIndex(int value) {
  if (groupIndex_ == value) return;
  groupIndex_ = value;
  UpdateExclusive();
}

void TSpeedButton::SetAllowAllUp(bool value) {
  if (allowAllUp_ == value) return;
  allowAllUp_ = value;
  UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !Parent()) return;
  TWinControl* parent = Parent();
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (c != this) c->Perform(CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_), reinterpret_cast<LPARAM>(this));
  }
}

void TSpeedButton::CMButtonPressed(TMessage& m) {
  if (static_cast<int>(m.WParam) != groupIndex_) return;
  auto* sender = dynamic_cast<TSpeedButton*>(reinterpret_cast<TControl*>(m.LParam));
  if (!sender || sender == this) return;
  if (sender->Down() && down_) {
    down_ = false;
    if (state_ != bsDisabled) state_ = bsUp;
    Invalidate();
  }
  allowAllUp_ = sender->AllowAllUp();
}

void TSpeedButton::CMMouseEnter(TMessage& m) {
  TControl::CMMouseEnter(m);
  if (mouseInControl_ || !Enabled()) return;
  mouseInControl_ = true;
  if (flat_) Invalidate();
}

void TSpeedButton::CMMouseLeave(TMessage& m) {
  TControl::CMMouseLeave(m);
  if (!mouseInControl_) return;
  mouseInControl_ = false;
  if (flat_) Invalidate();
}

void TSpeedButton::CMEnabledChanged(TMessage& m) {
  if (!Enabled()) {
    state_ = bsDisabled;
    dragging_ = false;
    mouseInControl_ = false;
    ControlState >> csLButtonDown;
  } else {
    state_ = down_ ? bsExclusive : bsUp;
  }
  TControl::CMEnabledChanged(m);
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  inherited::MouseDown(button, shift, x, y);
  if (button != mbLeft || !Enabled()) return;
  if (!down_) {
    state_ = bsDown;
    Invalidate();
  }
  dragging_ = true;
  ControlState << csLButtonDown;
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  inherited::MouseMove(shift, x, y);
  if (!dragging_) return;
  bool inside = x >= 0 && x < Width() && y >= 0 && y < Height();
  // Off the button while held, it is not pressed and looks up.
  if (inside) ControlState << csLButtonDown;
  else ControlState >> csLButtonDown;
  TButtonState next = down_ ? bsExclusive : inside ? bsDown : bsUp;
  if (next == state_) return;
  state_ = next;
  Invalidate();
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  inherited::MouseUp(button, shift, x, y);
  if (!dragging_ || button != mbLeft) return;
  dragging_ = false;
  ControlState >> csLButtonDown;
  bool inside = x >= 0 && x < Width() && y >= 0 && y < Height();
  if (groupIndex_ == 0) {
    state_ = bsUp;
    Invalidate();
  } else if (inside) {
    SetDown(!down_);
    state_ = down_ ? bsExclusive : bsUp;
    Invalidate();
  } else {
    state_ = down_ ? bsExclusive : bsUp;
    Invalidate();
  }
  if (inside) Click();
}

TButtonState TSpeedButton::PaintState() const {
  if (!Enabled()) return bsDisabled;
  if (state_ == bsDisabled) return down_ ? bsExclusive : bsUp;
  return state_;
}

SIZE TSpeedButton::GlyphSize() const {
  if (glyph_->Empty() || glyph_->Width() < numGlyphs_) return SIZE{0, 0};
  return SIZE{glyph_->Width() / numGlyphs_, glyph_->Height()};
}

TSpeedButton::Placement TSpeedButton::PlaceContents(const RECT& client, SIZE glyph, SIZE text) const {
  bool horizontal = layout_ == blGlyphLeft || layout_ == blGlyphRight;
  int along = horizontal ? client.right - client.left : client.bottom - client.top;
  int across = horizontal ? client.bottom - client.top : client.right - client.left;
  int glyphAlong = horizontal ? glyph.cx : glyph.cy, glyphAcross = horizontal ? glyph.cy : glyph.cx;
  int textAlong = horizontal ? text.cx : text.cy, textAcross = horizontal ? text.cy : text.cx;

  // Without a glyph or without a caption there is nothing to space apart.
  int spacing = glyphAlong == 0 || textAlong == 0 ? 0 : spacing_;
  int margin = margin_;
  if (margin < 0) {
    if (spacing < 0) {
      // Equal gaps before, between and after.
      margin = (along - glyphAlong - textAlong) / 3;
      spacing = margin;
    } else {
      // Glyph, spacing and caption centred together as one block.
      margin = (along - (glyphAlong + spacing + textAlong) + 1) / 2;
    }
  } else if (spacing < 0) {
    // The caption centred in what the glyph leaves.
    spacing = (along - margin - glyphAlong - textAlong) / 2;
  }

  int glyphPos = 0, textPos = 0;
  if (layout_ == blGlyphLeft || layout_ == blGlyphTop) {
    glyphPos = margin;
    textPos = glyphPos + glyphAlong + spacing;
  } else {
    glyphPos = along - margin - glyphAlong;
    textPos = glyphPos - spacing - textAlong;
  }
  int glyphCross = (across - glyphAcross + 1) / 2;
  int textCross = (across - textAcross + 1) / 2;

  Placement p;
  if (horizontal) {
    p.glyph = POINT{client.left + glyphPos, client.top + glyphCross};
    p.text = RECT{client.left + textPos, client.top + textCross, 0, 0};
  } else {
    p.glyph = POINT{client.left + glyphCross, client.top + glyphPos};
    p.text = RECT{client.left + textCross, client.top + textPos, 0, 0};
  }
  p.text.right = p.text.left + text.cx;
  p.text.bottom = p.text.top + text.cy;
  return p;
}

void TSpeedButton::Paint() {
  HDC dc = Canvas()->Handle();
  TButtonState state = PaintState();
  bool pressed = state == bsDown || state == bsExclusive;
  RECT client{0, 0, Width(), Height()};

  if (!flat_) {
    RECT face = client;
    DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  } else {
    if (!transparent_) {
      Gdi::Brush brush(CreateSolidBrush(ColorRef(Color())));
      FillRect(dc, &client, brush.get());
    }
    // A flat button shows its edge only under the mouse or while pressed.
    if (pressed || (mouseInControl_ && state != bsDisabled)) {
      RECT edge = client;
      DrawEdge(dc, &edge, pressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
    }
  }

  SIZE text{0, 0};
  const std::string& caption = Caption();
  if (!caption.empty()) {
    // Trailing blanks count: they push the caption and the glyph beside it to the left.
    RECT measure{0, 0, Width(), 0};
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &measure, DT_CALCRECT | DT_SINGLELINE);
    text = SIZE{measure.right - measure.left, measure.bottom - measure.top};
  }
  Placement p = PlaceContents(client, GlyphSize(), text);
  if (pressed) {
    p.glyph.x += 1;
    p.glyph.y += 1;
    OffsetRect(&p.text, 1, 1);
  }
  DrawGlyph(p.glyph, state);
  if (!caption.empty()) DrawCaption(dc, p.text, state);
}

void TSpeedButton::DrawGlyph(POINT at, TButtonState state) {
  SIZE size = GlyphSize();
  if (size.cx <= 0 || size.cy <= 0) return;
  int index = static_cast<int>(state) < numGlyphs_ ? static_cast<int>(state) : 0;
  TColor key = glyph_->TransparentColor();
  RECT target{at.x, at.y, at.x + size.cx, at.y + size.cy};

  // The image of this state, as 32-bpp pixels whatever the glyph's format.
  TBitmap cell(size.cx, size.cy, pf32bit);
  BitBlt(cell.Canvas()->Handle(), 0, 0, size.cx, size.cy, glyph_->Canvas()->Handle(), index * size.cx, 0, SRCCOPY);
  GdiFlush();

  if (state != bsDisabled || numGlyphs_ > 1) {
    cell.SetTransparentColor(key);
    cell.SetTransparent(true);
    cell.Draw(*Canvas(), target);
    return;
  }

  // Embossed grey: the glyph's dark parts as a shadow, with a highlight one
  // pixel down and to the right. The transparent colour and white are paper.
  TColor highlight = ColorRef(clBtnHighlight), shadow = ColorRef(clBtnShadow);
  TColor paper = clFuchsia;
  for (TColor candidate : std::array<TColor, 3>{clFuchsia, clLime, clBlue})
    if (candidate != highlight && candidate != shadow) {
      paper = candidate;
      break;
    }
  TBitmap emboss(size.cx, size.cy, pf32bit);
  emboss.SetTransparentColor(paper);
  emboss.SetTransparent(true);
  for (int pass = 0; pass < 2; ++pass) {
    TColor ink = pass == 0 ? highlight : shadow;
    for (int y = 0; y < size.cy; ++y) {
      const uint8_t* src = cell.ScanLine(y);
      uint8_t* dst = emboss.ScanLine(y);
      for (int x = 0; x < size.cx; ++x) {
        TColor c = Pixel32(src, x);
        SetPixel32(dst, x, c != key && c != clWhite ? ink : paper);
      }
    }
    RECT r = target;
    if (pass == 0) OffsetRect(&r, 1, 1);
    emboss.Draw(*Canvas(), r);
    GdiFlush();
  }
}

void TSpeedButton::DrawCaption(HDC dc, RECT r, TButtonState state) {
  const std::string& caption = Caption();
  UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
  SetBkMode(dc, TRANSPARENT);
  if (state == bsDisabled) {
    RECT lit = r;
    OffsetRect(&lit, 1, 1);
    SetTextColor(dc, ColorRef(clBtnHighlight));
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &lit, flags);
    SetTextColor(dc, ColorRef(clBtnShadow));
  } else {
    SetTextColor(dc, ColorRef(Font()->Color()));
  }
  DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &r, flags);
}
