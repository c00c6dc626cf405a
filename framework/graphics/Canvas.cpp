#include "Canvas.h"

#include "Bitmaps.h"

#include <algorithm>
#include <cstring>
#include <limits>

TColor ColorToRGB(TColor color) {
  if (color & 0x80000000u) return GetSysColor(static_cast<int>(color & 0xFF));
  return color;
}

int ScreenPixelsPerInch() {
  static const int ppi = [] {
    Gdi::WindowDc screen(nullptr);
    int value = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return value > 0 ? value : 96;
  }();
  return ppi;
}

const std::vector<std::string> FontStyleNames = {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
const std::vector<std::string> FontPitchNames = {"fpDefault", "fpVariable", "fpFixed"};
const std::vector<std::string> PenStyleNames = {"psSolid", "psDash",  "psDot",        "psDashDot",
                                                "psDashDotDot", "psClear", "psInsideFrame"};
const std::vector<std::string> PenModeNames = {
    "pmBlack",      "pmWhite",       "pmNop",  "pmNot",     "pmCopy", "pmNotCopy",
    "pmMergePenNot", "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen", "pmMerge", "pmNotMerge",
    "pmMask",       "pmNotMask",     "pmXor",  "pmNotXor"};
const std::vector<std::string> BrushStyleNames = {"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                                  "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};

// ---------------------------------------------------------------------------
const TClassInfo& TGraphicsObject::StaticClass() {
  static const TClassInfo info = DefineClass<TGraphicsObject>("TGraphicsObject");
  return info;
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------
const TClassInfo& TFont::StaticClass() {
  static const TClassInfo info = DefineClass<TFont>("TFont", [](TClassBuilder<TFont>& c) {
    c.Int("Charset", &TFont::Charset, &TFont::SetCharset, DEFAULT_CHARSET);
    c.Color("Color", &TFont::Color, &TFont::SetColor, clWindowText);
    c.Int("Height", &TFont::Height, &TFont::SetHeight, 0, false);
    c.Str("Name", &TFont::Name, &TFont::SetName);
    c.Set("Style", FontStyleNames, &TFont::Style, &TFont::SetStyle, TFontStyles{});
  });
  return info;
}

HFONT TFont::Handle() {
  if (!handle_) {
    LOGFONTA lf{};
    lf.lfHeight = height_;
    lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = style_.Contains(fsItalic);
    lf.lfUnderline = style_.Contains(fsUnderline);
    lf.lfStrikeOut = style_.Contains(fsStrikeOut);
    lf.lfCharSet = static_cast<BYTE>(charset_);
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    // The face name field holds LF_FACESIZE bytes including the terminating zero.
    size_t n = std::min(name_.size(), static_cast<size_t>(LF_FACESIZE - 1));
    std::memcpy(lf.lfFaceName, name_.data(), n);
    handle_.reset(CreateFontIndirectA(&lf));
    if (!handle_) throw EOutOfResources("Out of system resources");
  }
  return handle_.get();
}

void TFont::FontChanged(bool glyphsChanged) {
  Gdi::Font old;
  if (glyphsChanged) old = std::move(handle_);
  Changed();
}

void TFont::SetName(const std::string& value) {
  if (value == name_) return;
  name_ = value;
  FontChanged(true);
}

void TFont::SetHeight(int value) {
  if (value == height_) return;
  height_ = value;
  FontChanged(true);
}

int TFont::Size() const {
  // Height is negative for a character height; the point size is its positive counterpart.
  return -MulDiv(height_, 72, ScreenPixelsPerInch());
}

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }

void TFont::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  FontChanged(false);
}

void TFont::SetStyle(TFontStyles value) {
  if (value == style_) return;
  style_ = value;
  FontChanged(true);
}

void TFont::SetCharset(int value) {
  value &= 0xFF;
  if (value == charset_) return;
  charset_ = value;
  FontChanged(true);
}

void TFont::SetPitch(TFontPitch value) {
  if (value == pitch_) return;
  pitch_ = value;
  FontChanged(true);
}

void TFont::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFont*>(source);
  if (!other) return TGraphicsObject::Assign(source);
  if (other == this) return;
  bool glyphs = name_ != other->name_ || height_ != other->height_ || style_ != other->style_ ||
                charset_ != other->charset_ || pitch_ != other->pitch_;
  bool colour = color_ != other->color_;
  if (!glyphs && !colour) return;
  name_ = other->name_;
  height_ = other->height_;
  style_ = other->style_;
  charset_ = other->charset_;
  pitch_ = other->pitch_;
  color_ = other->color_;
  FontChanged(glyphs);
}

// ---------------------------------------------------------------------------
int PenModeToRop2(TPenMode mode) {
  static const int rops[] = {R2_BLACK,       R2_WHITE,      R2_NOP,        R2_NOT,
                             R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                             R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,   R2_NOTMERGEPEN,
                             R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,     R2_NOTXORPEN};
  auto i = static_cast<size_t>(mode);
  return i < std::size(rops) ? rops[i] : R2_COPYPEN;
}

const TClassInfo& TPen::StaticClass() {
  static const TClassInfo info = DefineClass<TPen>("TPen", [](TClassBuilder<TPen>& c) {
    c.Color("Color", &TPen::Color, &TPen::SetColor, clBlack);
    c.Enum("Mode", PenModeNames, &TPen::Mode, &TPen::SetMode, pmCopy);
    c.Enum("Style", PenStyleNames, &TPen::Style, &TPen::SetStyle, psSolid);
    c.Int("Width", &TPen::Width, &TPen::SetWidth, 1);
  });
  return info;
}

HPEN TPen::Handle() {
  if (!handle_) {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    auto i = static_cast<size_t>(style_);
    int style = i < std::size(styles) ? styles[i] : PS_SOLID;
    handle_.reset(CreatePen(style, width_, ColorRef(color_)));
    if (!handle_) throw EOutOfResources("Out of system resources");
  }
  return handle_.get();
}

void TPen::PenChanged(bool handleChanged) {
  Gdi::Pen old;
  if (handleChanged) old = std::move(handle_);
  Changed();
}

void TPen::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  PenChanged(true);
}

void TPen::SetWidth(int value) {
  if (value < 0) value = 0;
  if (value == width_) return;
  width_ = value;
  PenChanged(true);
}

void TPen::SetStyle(TPenStyle value) {
  if (value == style_) return;
  style_ = value;
  PenChanged(true);
}

void TPen::SetMode(TPenMode value) {
  if (value == mode_) return;
  mode_ = value;
  PenChanged(false);
}

void TPen::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TPen*>(source);
  if (!other) return TGraphicsObject::Assign(source);
  if (other == this) return;
  bool handle = color_ != other->color_ || width_ != other->width_ || style_ != other->style_;
  bool mode = mode_ != other->mode_;
  if (!handle && !mode) return;
  color_ = other->color_;
  width_ = other->width_;
  style_ = other->style_;
  mode_ = other->mode_;
  PenChanged(handle);
}

// ---------------------------------------------------------------------------
const TClassInfo& TBrush::StaticClass() {
  static const TClassInfo info = DefineClass<TBrush>("TBrush", [](TClassBuilder<TBrush>& c) {
    c.Color("Color", &TBrush::Color, &TBrush::SetColor, clWhite);
    c.Enum("Style", BrushStyleNames, &TBrush::Style, &TBrush::SetStyle, bsSolid);
  });
  return info;
}

HBRUSH TBrush::Handle() {
  if (!handle_) {
    LOGBRUSH lb{};
    lb.lbColor = ColorRef(color_);
    switch (style_) {
      case bsSolid: lb.lbStyle = BS_SOLID; break;
      case bsClear: lb.lbStyle = BS_HOLLOW; break;
      default:
        lb.lbStyle = BS_HATCHED;
        lb.lbHatch = static_cast<ULONG_PTR>(style_) - bsHorizontal + HS_HORIZONTAL;
        break;
    }
    handle_.reset(CreateBrushIndirect(&lb));
    if (!handle_) throw EOutOfResources("Out of system resources");
  }
  return handle_.get();
}

void TBrush::BrushChanged() {
  Gdi::Brush old = std::move(handle_);
  Changed();
}

void TBrush::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  // A clear brush has no colour of its own: drawing with it would not change.
  BrushChanged();
}

void TBrush::SetStyle(TBrushStyle value) {
  if (value == style_) return;
  style_ = value;
  BrushChanged();
}

void TBrush::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TBrush*>(source);
  if (!other) return TGraphicsObject::Assign(source);
  if (other == this || (color_ == other->color_ && style_ == other->style_)) return;
  color_ = other->color_;
  style_ = other->style_;
  BrushChanged();
}

// ---------------------------------------------------------------------------
const TClassInfo& TCanvas::StaticClass() {
  static const TClassInfo info = DefineClass<TCanvas>("TCanvas");
  return info;
}

TCanvas::TCanvas() {
  font_.OnChange = TNotifyEvent(this, &TCanvas::FontChanged);
  pen_.OnChange = TNotifyEvent(this, &TCanvas::PenChanged);
  brush_.OnChange = TNotifyEvent(this, &TCanvas::BrushChanged);
}

TCanvas::~TCanvas() { DeselectTools(); }

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  DeselectTools();
  dc_ = dc;
  if (dc_) {
    POINT p;
    if (GetCurrentPositionEx(dc_, &p)) penPos_ = p;
  }
}

HDC TCanvas::Handle() { return Require(kTools); }

HDC TCanvas::Require(unsigned tools) {
  if (!dc_) CreateHandle();
  if (!dc_) throw EInvalidOperation("Canvas does not allow drawing");
  if ((tools & kFont) && !fontSel_.Active()) {
    fontSel_.Select(dc_, font_.Handle());
    SetTextColor(dc_, ColorRef(font_.Color()));
  }
  if ((tools & kPen) && !penSel_.Active()) {
    penSel_.Select(dc_, pen_.Handle());
    SetROP2(dc_, PenModeToRop2(pen_.Mode()));
  }
  if ((tools & kBrush) && !brushSel_.Active()) {
    brushSel_.Select(dc_, brush_.Handle());
    SetBkColor(dc_, ColorRef(brush_.Color()));
    SetBkMode(dc_, brush_.Style() == bsSolid ? OPAQUE : TRANSPARENT);
  }
  return dc_;
}

void TCanvas::DeselectTools() {
  fontSel_.Restore();
  penSel_.Restore();
  brushSel_.Restore();
}

// A tool that changes is put out of the DC at once, so that its old GDI object
// can be freed; the new one goes in with the next operation.
void TCanvas::FontChanged(TObject*) { fontSel_.Restore(); }
void TCanvas::PenChanged(TObject*) { penSel_.Restore(); }
void TCanvas::BrushChanged(TObject*) { brushSel_.Restore(); }

POINT TCanvas::PenPos() {
  if (dc_) {
    POINT p;
    if (GetCurrentPositionEx(dc_, &p)) penPos_ = p;
  }
  return penPos_;
}

void TCanvas::MoveTo(int x, int y) {
  MoveToEx(Require(0), x, y, nullptr);
  penPos_ = POINT{x, y};
}

void TCanvas::LineTo(int x, int y) {
  ::LineTo(Require(kPen | kBrush), x, y);
  penPos_ = POINT{x, y};
}

void TCanvas::Polyline(std::span<const POINT> points) {
  if (points.empty()) return;
  ::Polyline(Require(kPen | kBrush), points.data(), static_cast<int>(points.size()));
}

void TCanvas::Polygon(std::span<const POINT> points) {
  if (points.empty()) return;
  ::Polygon(Require(kPen | kBrush), points.data(), static_cast<int>(points.size()));
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) { ::Rectangle(Require(kPen | kBrush), x1, y1, x2, y2); }

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
  ::RoundRect(Require(kPen | kBrush), x1, y1, x2, y2, x3, y3);
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) { ::Ellipse(Require(kPen | kBrush), x1, y1, x2, y2); }

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  ::Arc(Require(kPen | kBrush), x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  ::Chord(Require(kPen | kBrush), x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  ::Pie(Require(kPen | kBrush), x1, y1, x2, y2, x3, y3, x4, y4);
}

void TCanvas::FillRect(const RECT& r) { ::FillRect(Require(kBrush), &r, brush_.Handle()); }

void TCanvas::FrameRect(const RECT& r) { ::FrameRect(Require(kBrush), &r, brush_.Handle()); }

void TCanvas::DrawFocusRect(const RECT& r) { ::DrawFocusRect(Require(kBrush), &r); }

void TCanvas::TextOut(int x, int y, const std::string& text) {
  HDC dc = Require(kFont | kBrush);
  ExtTextOutA(dc, x, y, 0, nullptr, text.data(), static_cast<UINT>(text.size()), nullptr);
  MoveTo(x + TextWidth(text), y);
}

void TCanvas::TextRect(const RECT& r, int x, int y, const std::string& text) {
  HDC dc = Require(kFont | kBrush);
  UINT options = ETO_CLIPPED | (brush_.Style() == bsSolid ? ETO_OPAQUE : 0);
  ExtTextOutA(dc, x, y, options, &r, text.data(), static_cast<UINT>(text.size()), nullptr);
}

SIZE TCanvas::TextExtent(const std::string& text) {
  SIZE size{0, 0};
  GetTextExtentPoint32A(Require(kFont), text.data(), static_cast<int>(text.size()), &size);
  return size;
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  RECT r = Bounds(x, y, graphic->Width(), graphic->Height());
  Require(kTools);
  graphic->Draw(*this, r);
}

void TCanvas::StretchDraw(const RECT& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Require(kTools);
  graphic->Draw(*this, r);
}

void TCanvas::CopyRect(const RECT& dest, TCanvas& canvas, const RECT& source) {
  HDC dc = Require(kFont | kBrush);
  HDC src = canvas.Require(kFont | kBrush);
  int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  int sw = source.right - source.left, sh = source.bottom - source.top;
  if (dw == sw && dh == sh) {
    BitBlt(dc, dest.left, dest.top, dw, dh, src, source.left, source.top, copyMode_);
  } else {
    int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, dest.left, dest.top, dw, dh, src, source.left, source.top, sw, sh, copyMode_);
    SetStretchBltMode(dc, oldMode);
  }
}

void TCanvas::BrushCopy(const RECT& dest, TBitmap* bitmap, const RECT& source, TColor color) {
  if (!bitmap || bitmap->Empty()) return;
  HDC dc = Require(kTools);
  HDC src = bitmap->Canvas()->Handle();
  int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  int sw = source.right - source.left, sh = source.bottom - source.top;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  // Mask: white where the colour to replace is, black elsewhere.
  Gdi::Bitmap mask = bitmap->CreateMask(color);
  Gdi::MemoryDc maskDc(mask.get());
  if (!maskDc) throw EOutOfResources("Out of system resources");
  int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
  COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
  // Source where the mask is black, brush where it is white: (src AND NOT mask) OR (brush AND mask).
  StretchBlt(dc, dest.left, dest.top, dw, dh, src, source.left, source.top, sw, sh, SRCCOPY);
  StretchBlt(dc, dest.left, dest.top, dw, dh, maskDc.get(), source.left, source.top, sw, sh, 0x00E20746 /* DSPDxax */);
  SetTextColor(dc, oldText);
  SetBkColor(dc, oldBack);
  SetStretchBltMode(dc, oldMode);
}

TColor TCanvas::Pixels(int x, int y) { return GetPixel(Require(0), x, y); }

void TCanvas::SetPixels(int x, int y, TColor color) { SetPixelV(Require(kPen), x, y, ColorRef(color)); }

RECT TCanvas::ClipRect() {
  RECT r{0, 0, 0, 0};
  GetClipBox(Require(0), &r);
  return r;
}
