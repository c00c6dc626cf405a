#include "Mybarlabel.h"

const TClassInfo& MyBarLabel::StaticClass() {
  static const TClassInfo info = DefineClass<MyBarLabel>("MyBarLabel");
  return info;
}

MyBarLabel::MyBarLabel(TComponent* owner) : TLabel(owner) {}

MyBarLabel::~MyBarLabel() = default;

void MyBarLabel::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN: return LButtonDown(m);
    default: return inherited::Dispatch(m);
  }
}

void MyBarLabel::LButtonDown(TMessage& m) {
  // The parent's default handling of a press on its caption moves the window
  // with the mouse. No capture and no click detection: the release clicks nothing.
  if (Parent() && Parent()->HandleAllocated())
    PostMessageA(Parent()->Handle(), WM_NCLBUTTONDOWN, HTCAPTION, m.LParam);
  MouseDown(mbLeft, KeysToShiftState(m.WParam), MsgX(m), MsgY(m));
}

void Mybarlabel::Register() { RegisterComponents("Samples", {&MyBarLabel::StaticClass()}); }
