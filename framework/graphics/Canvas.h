#pragma once
// Colours resolved for GDI, the drawing tools (font, pen, brush) as lazily created
// GDI objects, and the canvas that draws with them on a device context.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "Classes.h"
#include "Colors.h"
#include "Gdihandles.h"

class TGraphic;
class TBitmap;

// The 0x00BBGGRR value of a colour; system colours are looked up with GetSysColor.
// clNone and clDefault come back unchanged.
TColor ColorToRGB(TColor color);
// The value handed to GDI: ColorToRGB without the flag byte.
inline COLORREF ColorRef(TColor color) { return ColorToRGB(color) & 0x00FFFFFF; }

// Vertical pixels per inch of the screen (96 unless the system says otherwise).
int ScreenPixelsPerInch();

// ---------------------------------------------------------------------------
// Common base of font, pen and brush: a change is announced through OnChange.
class TGraphicsObject : public TPersistent {
  ZX_CLASS(TGraphicsObject, TPersistent)
 public:
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
extern const std::vector<std::string> FontStyleNames;
extern const std::vector<std::string> FontPitchNames;

class TFont : public TGraphicsObject {
  ZX_CLASS(TFont, TGraphicsObject)
 public:
  TFont() = default;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;

  // Created on first use and again after any change that affects the glyphs.
  HFONT Handle();
  bool HandleAllocated() const { return static_cast<bool>(handle_); }

  const std::string& Name() const { return name_; }
  void SetName(const std::string& value);
  // Negative: the character height in pixels; positive: the cell height.
  int Height() const { return height_; }
  void SetHeight(int value);
  // Point size at the screen's resolution.
  int Size() const;
  void SetSize(int points);
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles value);
  int Charset() const { return charset_; }
  void SetCharset(int value);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch value);

  void Assign(const TPersistent* source) override;

 private:
  // Announces a change; the old handle is kept alive until every listener has
  // let go of it (a canvas deselects it), then freed.
  void FontChanged(bool glyphsChanged);

  std::string name_ = "Tahoma";
  int height_ = -11;
  TColor color_ = clWindowText;
  TFontStyles style_;
  int charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  Gdi::Font handle_;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
extern const std::vector<std::string> PenStyleNames;
extern const std::vector<std::string> PenModeNames;
// The binary raster operation (R2_...) of a pen mode.
int PenModeToRop2(TPenMode mode);

class TPen : public TGraphicsObject {
  ZX_CLASS(TPen, TGraphicsObject)
 public:
  TPen() = default;
  TPen(const TPen&) = delete;
  TPen& operator=(const TPen&) = delete;

  HPEN Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle value);
  // The raster operation of lines; applied by the canvas, not part of the GDI pen.
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode value);

  void Assign(const TPersistent* source) override;

 private:
  void PenChanged(bool handleChanged);

  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
  Gdi::Pen handle_;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
extern const std::vector<std::string> BrushStyleNames;

class TBrush : public TGraphicsObject {
  ZX_CLASS(TBrush, TGraphicsObject)
 public:
  TBrush() = default;
  TBrush(const TBrush&) = delete;
  TBrush& operator=(const TBrush&) = delete;

  HBRUSH Handle();
  TColor Color() const { return color_; }
  void SetColor(TColor value);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle value);

  void Assign(const TPersistent* source) override;

 private:
  void BrushChanged();

  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
  Gdi::Brush handle_;
};

// Raster operations of CopyRect and Draw.
using TCopyMode = uint32_t;
inline constexpr TCopyMode cmBlackness = BLACKNESS;
inline constexpr TCopyMode cmDstInvert = DSTINVERT;
inline constexpr TCopyMode cmMergeCopy = MERGECOPY;
inline constexpr TCopyMode cmMergePaint = MERGEPAINT;
inline constexpr TCopyMode cmNotSrcCopy = NOTSRCCOPY;
inline constexpr TCopyMode cmNotSrcErase = NOTSRCERASE;
inline constexpr TCopyMode cmPatCopy = PATCOPY;
inline constexpr TCopyMode cmPatInvert = PATINVERT;
inline constexpr TCopyMode cmPatPaint = PATPAINT;
inline constexpr TCopyMode cmSrcAnd = SRCAND;
inline constexpr TCopyMode cmSrcCopy = SRCCOPY;
inline constexpr TCopyMode cmSrcErase = SRCERASE;
inline constexpr TCopyMode cmSrcInvert = SRCINVERT;
inline constexpr TCopyMode cmSrcPaint = SRCPAINT;
inline constexpr TCopyMode cmWhiteness = WHITENESS;

inline RECT Rect(int left, int top, int right, int bottom) { return RECT{left, top, right, bottom}; }
inline RECT Bounds(int left, int top, int width, int height) {
  return RECT{left, top, left + width, top + height};
}

// ---------------------------------------------------------------------------
// Drawing on a device context. The canvas does not own the DC it is given; a
// derived canvas may create one on demand (CreateHandle). Font, pen and brush
// are selected lazily before an operation that needs them and put back when the
// handle changes, so the DC never keeps one of our GDI objects after we let go.
class TCanvas : public TPersistent {
  ZX_CLASS(TCanvas, TPersistent)
 public:
  TCanvas();
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // The DC with font, pen and brush selected; raises EInvalidOperation when there is none.
  HDC Handle();
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }

  TFont* Font() { return &font_; }
  void SetFont(const TFont* value) { font_.Assign(value); }
  TPen* Pen() { return &pen_; }
  void SetPen(const TPen* value) { pen_.Assign(value); }
  TBrush* Brush() { return &brush_; }
  void SetBrush(const TBrush* value) { brush_.Assign(value); }
  TCopyMode CopyMode() const { return copyMode_; }
  void SetCopyMode(TCopyMode value) { copyMode_ = value; }

  POINT PenPos();
  void SetPenPos(POINT p) { MoveTo(p.x, p.y); }
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Polyline(std::span<const POINT> points);
  void Polygon(std::span<const POINT> points);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const RECT& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const RECT& r) { Ellipse(r.left, r.top, r.right, r.bottom); }
  // Arcs and pies run counter-clockwise from the radial through (x3, y3) to the one through (x4, y4).
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void FillRect(const RECT& r);
  void FrameRect(const RECT& r);
  void DrawFocusRect(const RECT& r);

  // Text in the canvas font; the background is filled with the brush unless the brush is clear.
  void TextOut(int x, int y, const std::string& text);
  // The same, clipped to r.
  void TextRect(const RECT& r, int x, int y, const std::string& text);
  SIZE TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }

  // A graphic at its own size, or stretched into r. A transparent graphic leaves
  // the pixels under its transparent colour untouched; otherwise CopyMode is the raster operation.
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const RECT& r, TGraphic* graphic);
  // Copies (stretching when the sizes differ) with CopyMode as the raster operation.
  void CopyRect(const RECT& dest, TCanvas& canvas, const RECT& source);
  // Copies a part of a bitmap, with the pixels of one colour replaced by the brush.
  void BrushCopy(const RECT& dest, TBitmap* bitmap, const RECT& source, TColor color);

  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor color);
  RECT ClipRect();

 protected:
  // Called when an operation needs a DC and none is set; may call SetHandle.
  virtual void CreateHandle() {}

 private:
  enum : unsigned { kFont = 1, kPen = 2, kBrush = 4, kTools = kFont | kPen | kBrush };
  HDC Require(unsigned tools);
  void DeselectTools();
  void FontChanged(TObject*);
  void PenChanged(TObject*);
  void BrushChanged(TObject*);

  HDC dc_ = nullptr;
  TFont font_;
  TPen pen_;
  TBrush brush_;
  TCopyMode copyMode_ = cmSrcCopy;
  POINT penPos_{0, 0};
  Gdi::Selection fontSel_;
  Gdi::Selection penSel_;
  Gdi::Selection brushSel_;
};

// Lends a DC to a canvas for the length of a scope (a paint, a measurement);
// the canvas lets go of it when the scope ends, also on an exception.
class TCanvasLease {
 public:
  TCanvasLease(TCanvas& canvas, HDC dc) : canvas_(canvas) { canvas_.SetHandle(dc); }
  ~TCanvasLease() { canvas_.SetHandle(nullptr); }
  TCanvasLease(const TCanvasLease&) = delete;
  TCanvasLease& operator=(const TCanvasLease&) = delete;

 private:
  TCanvas& canvas_;
};
