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

// The look goes into a black overlay which is XOR-ed onto a black picture
// (leaving the overlay); the text is XOR-ed over that, and the picture reaches
// the screen in one copy.
void TCGauge::Paint() {
  TBitmap& image = image_;
  TBltBitmap& overlay = overlay_;
  image.SetHeight(Height());
  image.SetWidth(Width());
  PaintBackground(image);
  RECT r = ClientRect();
  if (borderStyle_ == bsSingle) InflateRect(&r, -1, -1);
  overlay.MatchSize(image);
  PaintBackground(overlay);
  switch (kind_) {
    case gkText: PaintAsNothing(overlay, r); break;
    case gkHorizontalBar:
    case gkVerticalBar: PaintAsBar(overlay, r); break;
    case gkPie: PaintAsPie(overlay, r); break;
    case gkNeedle: PaintAsNeedle(overlay, r); break;
  }
  image.Canvas()->SetCopyMode(cmSrcInvert);
  image.Canvas()->Draw(0, 0, &overlay);
  image.Canvas()->SetCopyMode(cmSrcCopy);
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

void TCGauge::PaintAsText(TBitmap& image, const RECT& r) {
  TBltBitmap& layer = textLayer_;
  layer.MatchSize(image);
  PaintBackground(layer);
  const std::string text = IntToStr(GetPercentDone()) + "%";
  TCanvas* canvas = layer.Canvas();
  canvas->Brush()->SetStyle(bsClear);
  canvas->SetFont(Font());
  canvas->Font()->SetColor(clWhite);
  // Centred in the paint rectangle's size but placed from the picture's corner.
  const int x = (r.right - r.left + 1 - canvas->TextWidth(text)) / 2;
  const int y = (r.bottom - r.top + 1 - canvas->TextHeight(text)) / 2;
  canvas->TextRect(r, x, y, text);
  image.Canvas()->SetCopyMode(cmSrcInvert);
  image.Canvas()->Draw(0, 0, &layer);
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
// each way inside a border), the control's colour around it, and the back
// colour and a one-pixel fore-colour pen for the dial itself.
TCanvas* TCGauge::PrepareDial(TBitmap& image, const RECT& r, int& w, int& h) {
  w = r.right - r.left;
  h = r.bottom - r.top;
  if (borderStyle_ == bsSingle) {
    ++w;
    ++h;
  }
  TCanvas* canvas = image.Canvas();
  canvas->Brush()->SetColor(Color());
  canvas->FillRect(r);
  canvas->Brush()->SetColor(backColor_);
  canvas->Pen()->SetColor(foreColor_);
  canvas->Pen()->SetWidth(1);
  return canvas;
}

void TCGauge::PaintAsPie(TBitmap& image, const RECT& r) {
  int w, h;
  TCanvas* canvas = PrepareDial(image, r, w, h);
  canvas->Ellipse(r.left, r.top, w, h);
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
  const int x = r.left;
  const int y = r.top;
  int w, h;
  TCanvas* canvas = PrepareDial(image, r, w, h);
  // The upper half of an ellipse twice as tall: a half disc on the bottom edge.
  canvas->Pie(x, y, w, 2 * h - 1, x + w, r.bottom - 1, x, r.bottom - 1);
  canvas->MoveTo(x, r.bottom);
  canvas->LineTo(x + w, r.bottom);
  const int percent = GetPercentDone();
  if (percent <= 0) return;
  canvas->Pen()->SetColor(foreColor_);
  const int mx = Width() / 2;
  canvas->MoveTo(mx, r.bottom - 1);
  const double angle = static_cast<double>(percent * kHundredthX * static_cast<long double>(kPi));
  const long double a = angle;
  canvas->LineTo(FloorToInt(mx * (1.0L - std::cos(a))), FloorToInt((r.bottom - 1) * (1.0L - std::sin(a))));
}
