#include "Myimage.h"

const TClassInfo& TMyImage::StaticClass() {
  static const TClassInfo info = DefineClass<TMyImage>("TMyImage", [](TClassBuilder<TMyImage>& c) {
    c.Obj("ActivePic", &TMyImage::ActivePic)
        .Obj("InActivePic", &TMyImage::InActivePic)
        .Bool("EnableDrop", &TMyImage::EnableDrop, &TMyImage::EnableDrop, false);
  });
  return info;
}

TMyImage::TMyImage(TComponent* owner)
    : TImage(owner), activePic_(std::make_unique<TPicture>()), inActivePic_(std::make_unique<TPicture>()) {}

TMyImage::~TMyImage() = default;

void TMyImage::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_LBUTTONDOWN: return LButtonDown(m);
    default: return inherited::Dispatch(m);
  }
}

void TMyImage::SetActPicture(const TPicture* value) { activePic_->Assign(value); }

void TMyImage::SetInActPicture(const TPicture* value) { inActivePic_->Assign(value); }

void TMyImage::SetPic(bool active) {
  if (active == active_) return;
  Picture()->Assign(active ? activePic_.get() : inActivePic_.get());
  active_ = active;
}

void TMyImage::LButtonDown(TMessage& m) {
  // The parent's default handling of a press on its caption moves the window with the mouse.
  if (EnableDrop && Parent() && Parent()->HandleAllocated())
    PostMessageA(Parent()->Handle(), WM_NCLBUTTONDOWN, HTCAPTION, m.LParam);
  // Press, release and click all at once: the framework's click detection never
  // starts, so the real release later cannot click a second time.
  const TShiftState shift = KeysToShiftState(m.WParam);
  MouseDown(mbLeft, shift, MsgX(m), MsgY(m));
  MouseUp(mbLeft, shift, MsgX(m), MsgY(m));
  Click();
}

void Myimage::Register() { RegisterComponents("Samples", {&TMyImage::StaticClass()}); }
