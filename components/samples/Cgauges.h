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
  // Blackens the part of the picture outside r, which the text and bar looks leave.
  void PaintFrame(TBitmap& image, const RECT& r);
  // Clears the picture and puts the pie's or the needle's dial on it, and
  // leaves the canvas with the back-colour brush and the fore-colour pen.
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
  // What a dial's picture depends on: while it stays the same, the picture of
  // the cleared bitmap with the dial drawn is copied from dial_ instead of
  // being drawn again (a 400-pixel ellipse costs several full-size copies).
  struct DialKey {
    TCGaugeKind kind;
    int width, height;
    int left, top, right, bottom;  // the paint rectangle
    TColor color, back, fore;      // as GDI draws them, system colours resolved
    bool operator==(const DialKey&) const = default;
  };

  // The off-screen pictures, kept between repaints so that a repaint of an
  // unchanged size makes no new bitmap. The look is drawn straight into
  // image_, which every repaint covers whole; the text layer is cleared and
  // copied only around the text.
  TBitmap image_;
  TBltBitmap textLayer_;
  TBitmap dial_;
  DialKey dialKey_{};
  bool dialValid_ = false;
};
