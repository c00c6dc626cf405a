#include "Panel.h"

#include <algorithm>
#include <climits>
#include <cstdint>

const std::vector<std::string> BevelCutNames = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};

namespace {
int Saturate(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }
}  // namespace

void Frame3D(TCanvas& canvas, RECT& rect, TColor topColor, TColor bottomColor, int width) {
  width = std::max(width, 0);
  canvas.Pen()->SetWidth(1);
  canvas.Pen()->SetStyle(psSolid);
  // Work on the last column and row inside the rectangle, as the lines are drawn on pixels.
  --rect.right;
  --rect.bottom;
  // Frames beyond the middle of the rectangle draw nothing: stop there and only shrink.
  for (; width > 0 && rect.left <= rect.right && rect.top <= rect.bottom; --width) {
    const POINT topLeft[] = {{rect.left, rect.bottom}, {rect.left, rect.top}, {rect.right, rect.top}};
    canvas.Pen()->SetColor(topColor);
    canvas.Polyline(topLeft);
    // Polyline leaves out the last point, so the bottom line runs one further left.
    const POINT bottomRight[] = {{rect.right, rect.top}, {rect.right, rect.bottom}, {rect.left - 1, rect.bottom}};
    canvas.Pen()->SetColor(bottomColor);
    canvas.Polyline(bottomRight);
    InflateRect(&rect, -1, -1);
  }
  rect.left = Saturate(int64_t{rect.left} + width);
  rect.top = Saturate(int64_t{rect.top} + width);
  rect.right = Saturate(int64_t{rect.right} - width + 1);
  rect.bottom = Saturate(int64_t{rect.bottom} - width + 1);
}

const TClassInfo& TPanel::StaticClass() {
  static const TClassInfo info = DefineClass<TPanel>("TPanel", [](TClassBuilder<TPanel>& c) {
    c.Enum("Alignment", AlignmentNames, &TPanel::Alignment, &TPanel::SetAlignment, taCenter)
        .Enum("BevelInner", BevelCutNames, &TPanel::BevelInner, &TPanel::SetBevelInner, bvNone)
        .Enum("BevelOuter", BevelCutNames, &TPanel::BevelOuter, &TPanel::SetBevelOuter, bvRaised)
        .Int("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth, 1)
        .Int("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth, 0)
        .Enum("BorderStyle", BorderStyleNames, &TPanel::BorderStyle, &TPanel::SetBorderStyle, bsNone);
  });
  return info;
}

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
  ControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                  csOpaque,          csDoubleClicks, csReplicatable};
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

TPanel::~TPanel() = default;

void TPanel::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED: return CMTextChanged(m);
    default: return inherited::Dispatch(m);
  }
}

void TPanel::SetAlignment(TAlignment value) {
  if (alignment_ == value) return;
  alignment_ = value;
  Invalidate();
}

void TPanel::SetBevelOuter(TBevelCut value) {
  if (bevelOuter_ == value) return;
  bevelOuter_ = value;
  BevelChanged();
}

void TPanel::SetBevelInner(TBevelCut value) {
  if (bevelInner_ == value) return;
  bevelInner_ = value;
  BevelChanged();
}

void TPanel::SetBevelWidth(int value) {
  value = std::max(value, 1);
  if (bevelWidth_ == value) return;
  bevelWidth_ = value;
  BevelChanged();
}

void TPanel::SetBorderWidth(int value) {
  value = std::max(value, 0);
  if (borderWidth_ == value) return;
  borderWidth_ = value;
  BevelChanged();
}

void TPanel::SetBorderStyle(TFormBorderStyle value) {
  if (borderStyle_ == value) return;
  borderStyle_ = value;
  RecreateWnd();
}

void TPanel::BevelChanged() {
  Realign();
  Invalidate();
}

void TPanel::CreateParams(TCreateParams& params) {
  inherited::CreateParams(params);
  if (borderStyle_ != bsNone) params.Style |= WS_BORDER;
}

void TPanel::AdjustColors(TBevelCut bevel, TColor& topColor, TColor& bottomColor) const {
  topColor = bevel == bvLowered ? clBtnShadow : clBtnHighlight;
  bottomColor = bevel == bvLowered ? clBtnHighlight : clBtnShadow;
}

void TPanel::AlignControls(TControl* control, RECT& rect) {
  // Wide borders cannot push the edges past each other: the area only shrinks to nothing.
  int64_t inset = borderWidth_;
  if (bevelOuter_ != bvNone) inset += bevelWidth_;
  if (bevelInner_ != bvNone) inset += bevelWidth_;
  int d = static_cast<int>(std::min<int64_t>(inset, INT_MAX / 4));
  rect.left += d;
  rect.top += d;
  rect.right = std::max(rect.left, rect.right - d);
  rect.bottom = std::max(rect.top, rect.bottom - d);
  inherited::AlignControls(control, rect);
}

void TPanel::Paint() {
  TCanvas& canvas = *Canvas();
  RECT r = ClientRect();
  TColor top, bottom;
  if (bevelOuter_ != bvNone) {
    AdjustColors(bevelOuter_, top, bottom);
    Frame3D(canvas, r, top, bottom, bevelWidth_);
  }
  Frame3D(canvas, r, Color(), Color(), borderWidth_);
  if (bevelInner_ != bvNone) {
    AdjustColors(bevelInner_, top, bottom);
    Frame3D(canvas, r, top, bottom, bevelWidth_);
  }
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(Color());
  canvas.FillRect(r);
  const std::string text = Caption();
  if (text.empty()) return;
  canvas.Brush()->SetStyle(bsClear);
  canvas.Font()->Assign(Font());
  // One line high, centred vertically in what the bevels leave.
  const int lineHeight = canvas.TextHeight("W");
  r.top = (r.top + r.bottom - lineHeight) / 2;
  r.bottom = r.top + lineHeight;
  const UINT flags = DT_EXPANDTABS | DT_VCENTER | AlignmentFlag(alignment_);
  DrawTextA(canvas.Handle(), text.c_str(), static_cast<int>(std::min<size_t>(text.size(), INT_MAX)), &r, flags);
}

void TPanel::CMTextChanged(TMessage&) { Invalidate(); }
