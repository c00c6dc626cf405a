#include "Image.h"

#include <cstdint>

const TClassInfo& TImage::StaticClass() {
  static const TClassInfo info = DefineClass<TImage>("TImage", [](TClassBuilder<TImage>& c) {
    c.Bool("Center", &TImage::Center, &TImage::SetCenter, false)
        .Obj("Picture", &TImage::Picture)
        .Bool("Proportional", &TImage::Proportional, &TImage::SetProportional, false)
        .Bool("Stretch", &TImage::Stretch, &TImage::SetStretch, false)
        .Bool("Transparent", &TImage::Transparent, &TImage::SetTransparent, false);
  });
  return info;
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>()) {
  ControlStyle << csReplicatable;
  picture_->OnChange = TNotifyEvent(this, &TImage::PictureChanged);
  SetBounds(0, 0, 105, 105);
}

TImage::~TImage() {
  // The picture may announce changes while it is freed; nobody is left to hear them.
  picture_->OnChange = nullptr;
}

void TImage::SetPicture(const TPicture* value) { picture_->Assign(value); }

void TImage::SetStretch(bool value) {
  if (stretch_ == value) return;
  stretch_ = value;
  PictureChanged(this);
}

void TImage::SetCenter(bool value) {
  if (center_ == value) return;
  center_ = value;
  PictureChanged(this);
}

void TImage::SetProportional(bool value) {
  if (proportional_ == value) return;
  proportional_ = value;
  PictureChanged(this);
}

void TImage::SetTransparent(bool value) {
  if (transparent_ == value) return;
  transparent_ = value;
  PictureChanged(this);
}

void TImage::SetBounds(int left, int top, int width, int height) {
  // Until the new size is known, the parent must paint the whole area again.
  ControlStyle >> csOpaque;
  inherited::SetBounds(left, top, width, height);
  UpdateOpaque();
}

RECT TImage::DestRect() const {
  const int pw = picture_->Width(), ph = picture_->Height();
  const int cw = ClientWidth(), ch = ClientHeight();
  int w = pw, h = ph;
  if (stretch_ || (proportional_ && (pw > cw || ph > ch))) {
    if (proportional_ && pw > 0 && ph > 0) {
      // Fit the whole picture: full width unless that makes it too tall.
      int64_t fitHeight = int64_t{ph} * cw / pw;
      if (fitHeight <= ch) {
        w = cw;
        h = static_cast<int>(fitHeight);
      } else {
        h = ch;
        w = static_cast<int>(int64_t{pw} * ch / ph);
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  int x = 0, y = 0;
  if (center_) {
    x = (cw - w) / 2;
    y = (ch - h) / 2;
  }
  return RECT{x, y, x + w, y + h};
}

void TImage::Paint() {
  TGraphic* graphic = picture_->Graphic();
  if (!graphic || graphic->Empty()) return;
  Canvas()->StretchDraw(DestRect(), graphic);
}

void TImage::PictureChanged(TObject*) {
  // Handing the transparency to the graphic makes it announce a change of its own.
  if (changing_) return;
  changing_ = true;
  try {
    if (TGraphic* graphic = picture_->Graphic(); graphic && graphic->Transparent() != transparent_)
      graphic->SetTransparent(transparent_);
  } catch (...) {
    changing_ = false;
    throw;
  }
  changing_ = false;
  UpdateOpaque();
  Invalidate();
}

void TImage::UpdateOpaque() {
  TGraphic* graphic = picture_->Graphic();
  bool covers = false;
  if (graphic && !graphic->Empty() && !transparent_ && !dynamic_cast<TIcon*>(graphic)) {
    RECT r = DestRect();
    covers = r.left <= 0 && r.top <= 0 && r.right >= Width() && r.bottom >= Height();
  }
  if (covers)
    ControlStyle << csOpaque;
  else
    ControlStyle >> csOpaque;
}
