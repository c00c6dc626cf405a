#pragma once
// A window-less picture control: shows a bitmap, icon or JPEG image at its own
// size, stretched or proportionally scaled into the control, optionally centred
// and transparent.

#include <windows.h>

#include <memory>

#include "Controls.h"

class TImage : public TGraphicControl {
  ZX_CLASS(TImage, TGraphicControl)
 public:
  explicit TImage(TComponent* owner);
  ~TImage() override;

  // The shown picture; the image owns it. Assigning to it repaints the control.
  TPicture* Picture() const { return picture_.get(); }
  void SetPicture(const TPicture* value);

  bool Stretch() const { return stretch_; }
  void SetStretch(bool value);
  bool Center() const { return center_; }
  void SetCenter(bool value);
  // Scales the picture down (or, with Stretch, up) keeping its aspect ratio.
  bool Proportional() const { return proportional_; }
  void SetProportional(bool value);
  // Leaves the background visible where the picture has its transparent colour.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  void SetBounds(int left, int top, int width, int height) override;

  // Where the picture goes in client coordinates, from the settings above.
  RECT DestRect() const;

 protected:
  void Paint() override;
  virtual void PictureChanged(TObject* sender);

 private:
  // Opaque when the picture covers the whole control without holes, so the
  // parent need not paint under it.
  void UpdateOpaque();

  std::unique_ptr<TPicture> picture_;
  bool stretch_ = false;
  bool center_ = false;
  bool proportional_ = false;
  bool transparent_ = false;
  bool changing_ = false;
};
