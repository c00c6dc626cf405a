#pragma once
// Icons: an owned HICON with the .ico file format.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "Bitmaps.h"

class TIcon : public TGraphic {
  ZX_CLASS(TIcon, TGraphic)
 public:
  TIcon();
  ~TIcon() override;

  // An icon without a handle is empty.
  bool Empty() const override { return !handle_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // An icon keeps the size it was made with: EInvalidGraphic.
  void SetWidth(int value) override;
  void SetHeight(int value) override;

  HICON Handle() const { return handle_.get(); }
  // Takes ownership of the icon (null empties this one).
  void SetHandle(HICON icon);
  // Hands the icon to the caller; this one becomes empty.
  HICON ReleaseHandle();
  // An icon of the module's resources at the system's icon size.
  void LoadFromResourceId(HINSTANCE instance, int id);
  void LoadFromResourceName(HINSTANCE instance, const std::string& name);

  void Draw(TCanvas& canvas, const RECT& r) override;
  // The image closest to the system's icon size is taken from an .ico file.
  void LoadFromData(std::span<const uint8_t> data) override;
  // The file the icon was loaded from, or a one-image 32-bpp .ico of the handle.
  std::vector<uint8_t> SaveToData() const override;

  // Another icon is copied (CopyIcon); null empties.
  void Assign(const TPersistent* source) override;

 protected:
  // Into a bitmap: the icon drawn on black at its own size.
  void AssignTo(TPersistent* dest) const override;

 private:
  void TakeHandle(Gdi::Icon icon, std::vector<uint8_t> data);

  Gdi::Icon handle_;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> data_;  // the .ico file as loaded, kept for saving it unchanged
};
