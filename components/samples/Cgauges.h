#pragma once
// A window-less gauge: where Progress stands between MinValue and MaxValue, as
// a whole percentage, drawn as text, a horizontal or vertical bar, a pie or a
// needle on a half dial. The percentage printed over the look inverts the
// colours under it. Every repaint is composed off screen and copied in one step.

#include <cstdint>
#include <string>
#include <vector>

#include "Bitmaps.h"
#include "Controls.h"

enum TCGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
extern const std::vector<std::string> CGaugeKindNames;

// The whole percentage of part in whole, rounded down (0 when whole is 0).
int PercentOf(int64_t part, int64_t whole);
// The share of length that percent stands for, rounded down.
int ScaleByPercent(int percent, int length);

// An off-screen layer that takes the size of another bitmap and starts filled
// with the window-frame colour.
class TBltBitmap : public TBitmap {
  ZX_CLASS(TBltBitmap, TBitmap)
 public:
  void MatchSize(TBitmap& templ);
};

class TCGauge : public TGraphicControl {
  ZX_CLASS(TCGauge, TGraphicControl)
 public:
  explicit TCGauge(TComponent* owner);

  int MinValue() const { return minValue_; }
  void SetMinValue(int value);
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int value);
  int Progress() const { return progress_; }
  void SetProgress(int value);
  // Moves Progress by delta (stopping at the range's ends) and repaints.
  void AddProgress(int delta);
  int GetPercentDone() const;

  TCGaugeKind Kind() const { return kind_; }
  void SeTCGaugeKind(TCGaugeKind value);
  bool ShowText() const { return showText_; }
  void SetShowText(bool value);
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle value);
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor value);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor value);

 protected:
  void Paint() override;
  void PaintBackground(TBitmap& image);
  void PaintAsText(TBitmap& image, const RECT& r);
  void PaintAsNothing(TBitmap& image, const RECT& r);
  void PaintAsBar(TBitmap& image, const RECT& r);
  TCanvas* PrepareDial(TBitmap& image, const RECT& r, int& w, int& h);
  void PaintAsPie(TBitmap& image, const RECT& r);
  void PaintAsNeedle(TBitmap& image, const RECT& r);

 private:
  int minValue_ = 0;
  int maxValue_ = 100;
  int progress_ = 0;
  TCGaugeKind kind_ = gkHorizontalBar;
  bool showText_ = true;
  TFormBorderStyle borderStyle_ = bsSingle;
  TColor foreColor_ = clBlack;
  TColor backColor_ = clWhite;
  // The off-screen pictures of a repaint, kept between repaints so that a
  // repaint of an unchanged size makes no new bitmap; every repaint covers
  // them whole before it draws.
  TBitmap image_;
  TBltBitmap overlay_;
  TBltBitmap textLayer_;
};
