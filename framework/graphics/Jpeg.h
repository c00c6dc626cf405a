#pragma once
// JPEG pictures: decoded into a bitmap for drawing, the original file kept for saving.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "Bitmaps.h"

class TJPEGImage : public TGraphic {
  ZX_CLASS(TJPEGImage, TGraphic)
 public:
  TJPEGImage();
  ~TJPEGImage() override;

  bool Empty() const override { return data_.empty(); }
  int Width() const override { return bitmap_->Width(); }
  int Height() const override { return bitmap_->Height(); }
  // The size is the file's: EInvalidGraphic.
  void SetWidth(int value) override;
  void SetHeight(int value) override;

  // Quality (1..100) used when a bitmap is assigned and compressed.
  int CompressionQuality() const { return quality_; }
  void SetCompressionQuality(int value) { quality_ = value < 1 ? 1 : value > 100 ? 100 : value; }
  // The decoded picture, 32 bits per pixel.
  const TBitmap& Bitmap() const { return *bitmap_; }

  void Draw(TCanvas& canvas, const RECT& r) override;
  // Decodes the file at once: corrupt or truncated data raises EInvalidGraphic
  // ("JPEG error #n") and leaves the image as it was.
  void LoadFromData(std::span<const uint8_t> data) override;
  std::vector<uint8_t> SaveToData() const override { return data_; }

  // Another JPEG image is copied; a bitmap is compressed at CompressionQuality.
  void Assign(const TPersistent* source) override;

 protected:
  // Into a bitmap: the decoded picture.
  void AssignTo(TPersistent* dest) const override;

 private:
  std::vector<uint8_t> data_;
  std::unique_ptr<TBitmap> bitmap_;
  int quality_ = 90;
};
