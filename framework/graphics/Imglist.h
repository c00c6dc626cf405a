#pragma once
// Image lists: equally sized images kept side by side in one 32-bit strip with
// alpha (a transparent pixel has alpha 0), streamed as a .bmp of that strip,
// and mirrored into a system image list when a handle is asked for.

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "Graphics.h"

class TImageList : public TComponent {
  ZX_CLASS(TImageList, TComponent)
 public:
  explicit TImageList(TComponent* owner);
  ~TImageList() override;

  // Changing a size empties the list.
  int Width() const { return width_; }
  void SetWidth(int value);
  int Height() const { return height_; }
  void SetHeight(int value);
  int Count() const { return count_; }

  // The system image list, kept in step with the images.
  HIMAGELIST Handle();
  bool HandleAllocated() const { return static_cast<bool>(handle_); }

  // Adds Width(image) / Width images from a strip; a mask pixel that is not
  // black makes the image pixel transparent. A 32-bit image whose alpha bytes are
  // not all zero keeps its alpha. Returns the index of the first image, or -1.
  int Add(const TBitmap* image, const TBitmap* mask);
  // The same, transparent where the image has the given colour (clDefault: the
  // image's transparent colour).
  int AddMasked(const TBitmap* image, TColor maskColor);
  void Delete(int index);
  void Clear();

  // Image `index` over the bitmap's own background, which is sized to the list's
  // images and made 32 bits deep; an index outside the list draws nothing.
  void GetBitmap(int index, TBitmap* image);
  // Image `index` as an icon; an index outside the list makes the icon empty.
  void GetIcon(int index, TIcon* icon);
  // Draws image `index` blended onto the canvas; disabled, as an embossed grey shape.
  void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);

  // The "Bitmap" property: a 32-bit .bmp of the strip; empty for an empty list.
  std::vector<uint8_t> BitmapData() const;
  void SetBitmapData(const std::vector<uint8_t>& data);

  void Loaded() override;

  TNotifyEvent OnChange;

 private:
  void Changed();
  void Resize(int width, int height);
  // Appends the images of a 32-bit strip whose transparent pixels are already zero.
  int AppendStrip(const TBitmap& strip, int images);
  void ApplyStrip(const std::vector<uint8_t>& data);
  // Copies image `index` (with alpha) into a fresh 32-bit bitmap of the image size.
  void CopyImage(int index, TBitmap& out) const;
  // A monochrome mask of the strip: white where alpha is 0.
  static void MaskOf(const TBitmap& strip, TBitmap& mask);
  void AddToHandle(const TBitmap& strip);

  int width_ = 16;
  int height_ = 16;
  int count_ = 0;
  TBitmap images_;  // count_ × width_ by height_, 32 bits, not premultiplied
  Gdi::ImageList handle_;
  std::vector<uint8_t> pending_;  // strip read while loading, split in Loaded
  bool hasPending_ = false;
};
