#include "Groupbox.h"

#include <algorithm>
#include <climits>

const TClassInfo& TGroupBox::StaticClass() {
  static const TClassInfo info = DefineClass<TGroupBox>("TGroupBox", [](TClassBuilder<TGroupBox>& c) {
    c.Bool("ParentColor", &TGroupBox::ParentColor, &TGroupBox::SetParentColor, true);
  });
  return info;
}

TGroupBox::TGroupBox(TComponent* owner) : TCustomControl(owner) {
  ControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks, csReplicatable};
  SetBounds(0, 0, 185, 105);
  // A group box sits on a form or page and takes its colour unless given its own.
  SetColor(clBtnFace);
  SetParentColor(true);
}

TGroupBox::~TGroupBox() = default;

void TGroupBox::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED: return CMTextChanged(m);
    case CM_FONTCHANGED: return CMFontChanged(m);
    default: return inherited::Dispatch(m);
  }
}

int TGroupBox::CaptionHeight() const {
  Gdi::WindowDc screen(nullptr);
  if (!screen) return 0;
  Gdi::Selection font(screen.get(), Font()->Handle());
  SIZE size{0, 0};
  GetTextExtentPoint32A(screen.get(), "0", 1, &size);
  return size.cy;
}

void TGroupBox::Paint() {
  TCanvas& canvas = *Canvas();
  canvas.Font()->Assign(Font());
  const int lineHeight = canvas.TextHeight("0");
  // The frame's top edge runs through the middle of the caption.
  RECT frame = ClientRect();
  frame.top = lineHeight / 2 - 1;
  DrawEdge(canvas.Handle(), &frame, EDGE_ETCHED, BF_RECT);
  const std::string text = Caption();
  if (text.empty()) return;
  const int length = static_cast<int>(std::min<size_t>(text.size(), INT_MAX));
  RECT r{8, 0, 0, lineHeight};
  DrawTextA(canvas.Handle(), text.c_str(), length, &r, DT_SINGLELINE | DT_CALCRECT);
  // The caption is drawn on the box's colour so that the frame line does not run through it.
  canvas.Brush()->SetStyle(bsSolid);
  canvas.Brush()->SetColor(Color());
  DrawTextA(canvas.Handle(), text.c_str(), length, &r, DT_SINGLELINE);
}

void TGroupBox::AlignControls(TControl* control, RECT& rect) {
  rect.top += CaptionHeight() + 2;
  rect.left += 2;
  rect.right = std::max(rect.left, rect.right - 2);
  rect.bottom = std::max(rect.top, rect.bottom - 2);
  inherited::AlignControls(control, rect);
}

void TGroupBox::CMTextChanged(TMessage&) { Invalidate(); }

void TGroupBox::CMFontChanged(TMessage& m) {
  TWinControl::CMFontChanged(m);
  Realign();
}
