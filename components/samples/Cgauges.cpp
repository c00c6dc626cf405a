#include "Cgauges.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {
// The range message of the framework.
constexpr const char* kOutOfRange = "Value must be between %lld and %lld";
// 0.01 as the nearest double (0x3F847AE147AE147B), the factor of ScaleByPercent.
constexpr double kHundredth = 0x1.47ae147ae147bp-7;
// 0.01 and 0.02 with 64 bits of mantissa (extended exponents 0x3FF8 and 0x3FF9):
// the needle's and the pie's angle factors.
constexpr long double kHundredthX = 0xA3D70A3D70A3D70Ap-70L;
constexpr long double kFiftiethX = 0xA3D70A3D70A3D70Ap-69L;
// Pi as the nearest double (0x400921FB54442D18).
constexpr double kPi = 0x1.921fb54442d18p+1;

int ToInt(long double value) {
  if (!(value >= static_cast<long double>(INT_MIN))) return INT_MIN;  // also NaN
  if (value > static_cast<long double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(value);
}

int FloorToInt(long double value) { return ToInt(std::floor(value)); }
}  // namespace

const std::vector<std::string> CGaugeKindNames = {"gkText", "gkHorizontalBar", "gkVerticalBar", "gkPie",
                                                  "gkNeedle"};

int PercentOf(int64_t part, int64_t whole) {
  if (whole == 0) return 0;
  return FloorToInt(static_cast<long double>(part) * 100.0L / static_cast<long double>(whole));
}

int ScaleByPercent(int percent, int length) {
  return FloorToInt(static_cast<long double>(percent) * static_cast<long double>(kHundredth) *
                    static_cast<long double>(length));
}

// ---------------------------------------------------------------------------
const TClassInfo& TBltBitmap::StaticClass() {
  static const TClassInfo info = DefineClass<TBltBitmap>("TBltBitmap");
  return info;
}

void TBltBitmap::MatchSize(TBitmap& templ) {
  SetWidth(templ.Width());
  SetHeight(templ.Height());
  TCanvas* canvas = Canvas();
  canvas->Brush()->SetColor(clWindowFrame);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->FillRect(RECT{0, 0, Width(), Height()});
}

// ---------------------------------------------------------------------------
const TClassInfo& TCGauge::StaticClass() {
  static const TClassInfo info = DefineClass<TCGauge>("TCGauge", [](TClassBuilder<TCGauge>& c) {
    c.Enum("Kind", CGaugeKindNames, &TCGauge::Kind, &TCGauge::SeTCGaugeKind, gkHorizontalBar)
        .Bool("ShowText", &TCGauge::ShowText, &TCGauge::SetShowText, true)
        .Enum("BorderStyle", BorderStyleNames, &TCGauge::BorderStyle, &TCGauge::SetBorderStyle, bsSingle)
        .Color("ForeColor", &TCGauge::ForeColor, &TCGauge::SetForeColor, clBlack)
        .Color("BackColor", &TCGauge::BackColor, &TCGauge::SetBackColor, clWhite)
        .Int("MinValue", &TCGauge::MinValue, &TCGauge::SetMinValue, 0)
        .Int("MaxValue", &TCGauge::MaxValue, &TCGauge::SetMaxValue, 100)
        .Bool("ParentColor", &TCGauge::ParentColor, &TCGauge::SetParentColor, true)
        .Int("Progress", &TCGauge::Progress, &TCGauge::SetProgress, 0);
  });
  return info;
}

TCGauge::TCGauge(TComponent* owner) : TGraphicControl(owner) {
  ControlStyle << csFramed << csOpaque;
  SetParentColor(true);
  SetBounds(Left(), Top(), 100, 100);
}

int TCGauge::GetPercentDone() const {
  return PercentOf(int64_t{progress_} - minValue_, int64_t{maxValue_} - minValue_);
}

void TCGauge::SetMinValue(int value) {
  if (value == minValue_) return;
  if (value > maxValue_)
    throw Exception(Format(kOutOfRange, -2147483647LL, static_cast<long long>(maxValue_) - 1));
  minValue_ = value;
  if (progress_ < value) progress_ = value;
  Refresh();
}

void TCGauge::SetMaxValue(int value) {
  if (value == maxValue_) return;
  if (value < minValue_)
    throw Exception(Format(kOutOfRange, static_cast<long long>(minValue_) + 1, 2147483647LL));
  maxValue_ = value;
  if (progress_ > value) progress_ = value;
  Refresh();
}

void TCGauge::SetProgress(int value) {
  const int before = GetPercentDone();
  value = std::clamp(value, minValue_, maxValue_);
  if (value == progress_) return;
  progress_ = value;
  if (GetPercentDone() != before) Refresh();
}

void TCGauge::AddProgress(int delta) {
  // The sum is taken wide: a step past either end stops there.
  const int64_t target = std::clamp<int64_t>(int64_t{progress_} + delta, minValue_, maxValue_);
  SetProgress(static_cast<int>(target));
  Refresh();
}

void TCGauge::SeTCGaugeKind(TCGaugeKind value) {
  if (value == kind_) return;
  kind_ = value;
  Refresh();
}

void TCGauge::SetShowText(bool value) {
  if (value == showText_) return;
  showText_ = value;
  Refresh();
}

void TCGauge::SetBorderStyle(TFormBorderStyle value) {
  if (value == borderStyle_) return;
  borderStyle_ = value;
  Refresh();
}

void TCGauge::SetForeColor(TColor value) {
  if (value == foreColor_) return;
  foreColor_ = value;
  Refresh();
}

void TCGauge::SetBackColor(TColor value) {
  if (value == backColor_) return;
  backColor_ = value;
  Refresh();
}

// The look is drawn straight into a black picture (the same pixels as a
// black-backed overlay XOR-ed onto it); the text is XOR-ed over that, and the
// picture reaches the screen in one copy.
void TCGauge::Paint() {
  TBitmap& image = image_;
  image.SetHeight(Height());
  image.SetWidth(Width());
  RECT r = ClientRect();
  if (borderStyle_ == bsSingle) InflateRect(&r, -1, -1);
  switch (kind_) {
    case gkText:
      PaintFrame(image, r);
      PaintAsNothing(image, r);
      break;
    case gkHorizontalBar:
    case gkVerticalBar:
      PaintFrame(image, r);
      PaintAsBar(image, r);
      break;
    case gkPie: PaintAsPie(image, r); break;
    case gkNeedle: PaintAsNeedle(image, r); break;
  }
  if (showText_) PaintAsText(image, r);
  Canvas()->SetCopyMode(cmSrcCopy);
  Canvas()->Draw(0, 0, &image);
}

void TCGauge::PaintBackground(TBitmap& image) {
  TCanvas* canvas = image.Canvas();
  canvas->SetCopyMode(cmBlackness);
  const RECT all{0, 0, Width(), Height()};
  canvas->CopyRect(all, *canvas, all);
  canvas->SetCopyMode(cmSrcCopy);
}

// The text and the bars fill r whole and draw nothing outside it (a bar's far
// edge lies at most on r's, or beyond the picture), so only the frame around
// r needs clearing. An empty r clears everything.
void TCGauge::PaintFrame(TBitmap& image, const RECT& r) {
  if (r.left >= r.right || r.top >= r.bottom) return PaintBackground(image);
  const int w = Width();
  const int h = Height();
  const RECT strips[] = {
      {0, 0, w, r.top}, {0, r.bottom, w, h}, {0, r.top, r.left, r.bottom}, {r.right, r.top, w, r.bottom}};
  TCanvas* canvas = image.Canvas();
  canvas->SetCopyMode(cmBlackness);
  for (const RECT& strip : strips)
    if (strip.left < strip.right && strip.top < strip.bottom) canvas->CopyRect(strip, *canvas, strip);
  canvas->SetCopyMode(cmSrcCopy);
}

// The text goes white on black into a layer that is XOR-ed onto the picture.
// Only the neighbourhood of the text is cleared, written and copied: the
// glyphs' ink stays within a text height of their cell (italic overhangs are
// a fraction of it), and outside that the layer would be black.
void TCGauge::PaintAsText(TBitmap& image, const RECT& r) {
  TBltBitmap& layer = textLayer_;
  if (layer.Width() != image.Width() || layer.Height() != image.Height()) layer.MatchSize(image);
  const std::string text = IntToStr(GetPercentDone()) + "%";
  TCanvas* canvas = layer.Canvas();
  canvas->Brush()->SetStyle(bsClear);
  canvas->SetFont(Font());
  canvas->Font()->SetColor(clWhite);
  const SIZE extent = canvas->TextExtent(text);
  // Centred in the paint rectangle's size but placed from the picture's corner.
  const int x = (r.right - r.left + 1 - extent.cx) / 2;
  const int y = (r.bottom - r.top + 1 - extent.cy) / 2;
  // The box lies inside r (which GDI takes with its corners put in order when
  // it clips) and inside the picture; the text is clipped to it. Taken wide,
  // the sums cannot overflow whatever the font's size.
  const int64_t pad = std::max<LONG>(extent.cy, 0);
  const RECT box{
      static_cast<LONG>(std::max<int64_t>({int64_t{x} - pad, std::min(r.left, r.right), 0})),
      static_cast<LONG>(std::max<int64_t>({int64_t{y} - pad, std::min(r.top, r.bottom), 0})),
      static_cast<LONG>(std::min<int64_t>({int64_t{x} + extent.cx + pad, std::max(r.left, r.right), image.Width()})),
      static_cast<LONG>(std::min<int64_t>({int64_t{y} + extent.cy + pad, std::max(r.top, r.bottom), image.Height()}))};
  if (box.left >= box.right || box.top >= box.bottom) return;
  canvas->SetCopyMode(cmBlackness);
  canvas->CopyRect(box, *canvas, box);
  canvas->SetCopyMode(cmSrcCopy);
  canvas->TextRect(box, x, y, text);
  image.Canvas()->SetCopyMode(cmSrcInvert);
  image.Canvas()->CopyRect(box, *canvas, box);
}

void TCGauge::PaintAsNothing(TBitmap& image, const RECT& r) {
  TCanvas* canvas = image.Canvas();
  canvas->Brush()->SetColor(backColor_);
  canvas->FillRect(r);
}

void TCGauge::PaintAsBar(TBitmap& image, const RECT& r) {
  const int w = r.right - r.left + 1;
  const int h = r.bottom - r.top + 1;
  TCanvas* canvas = image.Canvas();
  canvas->Brush()->SetColor(backColor_);
  canvas->FillRect(r);
  canvas->Pen()->SetColor(foreColor_);
  canvas->Pen()->SetWidth(1);
  canvas->Brush()->SetColor(foreColor_);
  // The sizes serve as right and bottom coordinates, and the two bars clamp
  // differently: a full vertical bar leaves the top row free without a border.
  if (kind_ == gkHorizontalBar) {
    const int filled = std::min(ScaleByPercent(GetPercentDone(), w), w);
    if (filled > 0) canvas->FillRect(RECT{r.left, r.top, filled, h});
  } else {
    int filled = ScaleByPercent(GetPercentDone(), h);
    if (filled >= h) filled = h - 1;
    canvas->FillRect(RECT{r.left, h - filled, w, h});
  }
}

// The pie and the needle share their dial: the rectangle's size (one more
// each way inside a border), the control's colour around it, and the dial
// itself in the back colour outlined by a one-pixel fore-colour pen: a whole
// ellipse for the pie, the upper half of one twice as tall standing on its
// base line for the needle. The cleared picture with the dial is kept and
// copied back while nothing it depends on changes.
TCanvas* TCGauge::PrepareDial(TBitmap& image, const RECT& r, int& w, int& h) {
  w = r.right - r.left;
  h = r.bottom - r.top;
  if (borderStyle_ == bsSingle) {
    ++w;
    ++h;
  }
  TCanvas* canvas = image.Canvas();
  const DialKey key{kind_, Width(), Height(), r.left, r.top, r.right, r.bottom,
                    ColorToRGB(Color()), ColorToRGB(backColor_), ColorToRGB(foreColor_)};
  if (dialValid_ && key == dialKey_ && dial_.Width() == image.Width() && dial_.Height() == image.Height()) {
    canvas->SetCopyMode(cmSrcCopy);
    canvas->Draw(0, 0, &dial_);
    canvas->Brush()->SetColor(backColor_);
    canvas->Pen()->SetColor(foreColor_);
    canvas->Pen()->SetWidth(1);
    return canvas;
  }
  PaintBackground(image);
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(r);
  canvas->Brush()->SetColor(backColor_);
  canvas->Pen()->SetColor(foreColor_);
  canvas->Pen()->SetWidth(1);
  if (kind_ == gkPie) {
    canvas->Ellipse(r.left, r.top, w, h);
  } else {
    const int x = r.left;
    canvas->Pie(x, r.top, w, 2 * h - 1, x + w, r.bottom - 1, x, r.bottom - 1);
    canvas->MoveTo(x, r.bottom);
    canvas->LineTo(x + w, r.bottom);
  }
  dialValid_ = false;
  dial_.SetSize(image.Width(), image.Height());
  dial_.Canvas()->SetCopyMode(cmSrcCopy);
  dial_.Canvas()->Draw(0, 0, &image);
  dialKey_ = key;
  dialValid_ = true;
  return canvas;
}

void TCGauge::PaintAsPie(TBitmap& image, const RECT& r) {
  int w, h;
  TCanvas* canvas = PrepareDial(image, r, w, h);
  const int percent = GetPercentDone();
  if (percent <= 0) return;
  canvas->Brush()->SetColor(foreColor_);
  const int mx = w / 2;
  const int my = h / 2;
  // The pie runs counter-clockwise from (x3, y3) to the top centre, so the
  // sector grows clockwise from twelve o'clock.
  const double angle = static_cast<double>((percent * kFiftiethX + 0.5L) * static_cast<long double>(kPi));
  const long double a = angle;
  const int x3 = FloorToInt(mx * (1.0L - std::cos(a)));
  const int y3 = FloorToInt(my * (1.0L - std::sin(a)));
  canvas->Pie(r.left, r.top, w, h, x3, y3, mx, 0);
}

void TCGauge::PaintAsNeedle(TBitmap& image, const RECT& r) {
  int w, h;
  TCanvas* canvas = PrepareDial(image, r, w, h);
  const int percent = GetPercentDone();
  if (percent <= 0) return;
  canvas->Pen()->SetColor(foreColor_);
  const int mx = Width() / 2;
  canvas->MoveTo(mx, r.bottom - 1);
  const double angle = static_cast<double>(percent * kHundredthX * static_cast<long double>(kPi));
  const long double a = angle;
  canvas->LineTo(FloorToInt(mx * (1.0L - std::cos(a))), FloorToInt((r.bottom - 1) * (1.0L - std::sin(a))));
}
