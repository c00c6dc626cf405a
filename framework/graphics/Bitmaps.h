#pragma once
// Pictures that can be drawn on a canvas (TGraphic) and the bitmap, a DIB section
// whose pixels are exact, with its .bmp file format.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "Canvas.h"

class TStream;

// Base of every picture kind: a size, a way to draw itself, and a file format.
class TGraphic : public TPersistent {
  ZX_CLASS(TGraphic, TPersistent)
 public:
  TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool value);
  bool Modified() const { return modified_; }
  void SetModified(bool value) { modified_ = value; }

  // Draws the picture stretched into r on the canvas.
  virtual void Draw(TCanvas& canvas, const RECT& r) = 0;

  // The picture in its file format (BMP, ICO, JFIF); loading replaces the
  // picture or raises EInvalidGraphic and leaves it as it was.
  virtual void LoadFromData(std::span<const uint8_t> data) = 0;
  virtual std::vector<uint8_t> SaveToData() const = 0;
  // Loading reads the stream from its position to its end.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();

  bool transparent_ = false;
  bool modified_ = false;
};

// Reads a whole file; raises EInvalidGraphic when it cannot be read.
std::vector<uint8_t> ReadGraphicFile(const std::string& fileName);
void WriteGraphicFile(const std::string& fileName, std::span<const uint8_t> data);

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode { tmAuto, tmFixed };
// Bits per pixel of a format (pfDevice and pfCustom count as 32).
int PixelFormatBits(TPixelFormat format);

class TBitmap;

// The canvas of a bitmap: a memory DC made when first needed, with the bitmap selected.
class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}
  ~TBitmapCanvas() override;
  // Gives the DC back so that the bitmap can be replaced or freed.
  void FreeHandle();

 protected:
  void CreateHandle() override;

 private:
  TBitmap& bitmap_;
  Gdi::Dc dc_;
  Gdi::Selection bitmapSel_;
};

class TBitmap : public TGraphic {
  ZX_CLASS(TBitmap, TGraphic)
 public:
  TBitmap();
  TBitmap(int width, int height, TPixelFormat format = pf32bit);
  ~TBitmap() override;

  bool Empty() const override { return width_ <= 0 || height_ <= 0; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Size changes keep the picture in the top-left corner; new parts take the canvas brush.
  void SetWidth(int value) override { SetSize(value, height_); }
  void SetHeight(int value) override { SetSize(width_, value); }
  void SetSize(int width, int height);
  TPixelFormat PixelFormat() const { return format_; }
  // Converts the pixels to the new format.
  void SetPixelFormat(TPixelFormat value);

  TCanvas* Canvas();
  // The DIB section, or null when the bitmap is empty. The bitmap keeps it. Its
  // own canvas lets go of it first, so that it can be selected into another DC;
  // the canvas takes it back with its next drawing.
  HBITMAP Handle() const;
  // Hands the DIB section to the caller; the bitmap becomes empty.
  HBITMAP ReleaseHandle();
  // Copies the picture of any GDI bitmap (device-dependent or DIB).
  void LoadFromHandle(HBITMAP bitmap);
  // Start of pixel row y (0 is the top row) in the DIB layout of the format.
  uint8_t* ScanLine(int y);
  const uint8_t* ScanLine(int y) const;
  // Bytes from one row to the next (rows are padded to 4 bytes).
  int RowBytes() const;
  // Colour table of a format with 8 bits or fewer.
  const std::vector<RGBQUAD>& Colors() const { return colors_; }
  void SetColors(std::span<const RGBQUAD> colors);

  // A monochrome bitmap of the picture's size, white where the picture has the
  // colour (compared without the alpha byte), black elsewhere.
  Gdi::Bitmap CreateMask(TColor color) const;

  // The colour treated as transparent: the bottom-left pixel's unless set.
  TColor TransparentColor() const;
  void SetTransparentColor(TColor value);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode value);

  void LoadFromResourceName(HINSTANCE instance, const std::string& name);
  void LoadFromResourceId(HINSTANCE instance, int id);
  // A packed DIB: BITMAPINFOHEADER (or a later header), colour table, pixels.
  void LoadFromDib(std::span<const uint8_t> dib);

  void Draw(TCanvas& canvas, const RECT& r) override;
  void LoadFromData(std::span<const uint8_t> data) override;
  std::vector<uint8_t> SaveToData() const override;

  void Assign(const TPersistent* source) override;

  // The "Data" property of a form description: the .bmp file, empty for an empty bitmap.
  std::vector<uint8_t> Data() const;
  void SetData(const std::vector<uint8_t>& data);

 private:
  friend class TBitmapCanvas;
  // Replaces the DIB section by a new one of the given size and format with the
  // given colour table, filled with zeros. The canvas lets go of the old one first.
  void NewImage(int width, int height, TPixelFormat format, std::vector<RGBQUAD> colors);
  void FreeCanvasHandle();
  // The colour of a pixel inside the picture, read from the DIB's memory (after GdiFlush).
  TColor PixelAt(int x, int y) const;
  // Reads a packed DIB whose pixels start at filePixelOffset when that lies past the colour table.
  void LoadDib(std::span<const uint8_t> dib, size_t filePixelOffset);

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = pf32bit;
  std::vector<RGBQUAD> colors_;
  Gdi::Bitmap dib_;
  uint8_t* bits_ = nullptr;
  TColor transparentColor_ = clDefault;
  TTransparentMode transparentMode_ = tmAuto;
  std::unique_ptr<TBitmapCanvas> canvas_;
};
