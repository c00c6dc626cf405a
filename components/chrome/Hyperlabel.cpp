#include "Hyperlabel.h"

const TClassInfo& THyperLabel::StaticClass() {
  static const TClassInfo info = DefineClass<THyperLabel>("THyperLabel", [](TClassBuilder<THyperLabel>& c) {
    c.Color("ColorLeave", &THyperLabel::ColorLeave, &THyperLabel::SetColorLeaveLabel, clBlack, false)
        .Color("ColorEnter", &THyperLabel::ColorEnter, &THyperLabel::ColorEnter, clBlack, false);
  });
  return info;
}

THyperLabel::THyperLabel(TComponent* owner) : TLabel(owner) { SetCursor(crHandPoint); }

THyperLabel::~THyperLabel() = default;

void THyperLabel::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case CM_MOUSEENTER: return CMMouseEnter(m);
    case CM_MOUSELEAVE: return CMMouseLeave(m);
    default: return inherited::Dispatch(m);
  }
}

// No equality test: the font may show the enter colour while the leave colour
// is set again, and the label must then switch back at once.
void THyperLabel::SetColorLeaveLabel(TColor value) {
  colorLeave_ = value;
  Font()->SetColor(value);
}

// Neither notification goes on to the base class: the label's parent hears
// nothing of the mouse crossing it.
void THyperLabel::CMMouseEnter(TMessage&) { Font()->SetColor(ColorEnter); }

void THyperLabel::CMMouseLeave(TMessage&) { Font()->SetColor(colorLeave_); }

void Hyperlabel::Register() { RegisterComponents("Quorb Hyper Controls", {&THyperLabel::StaticClass()}); }
