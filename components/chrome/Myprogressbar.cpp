#include "Myprogressbar.h"

#include <cstdint>

namespace {
constexpr TColor kDoneColor = clRed;
constexpr TColor kLeftColor = clNavy;
constexpr TColor kTextColor = clWhite;
const char* const kUnitText = " left";
const char* const kEndText = "Done";
}  // namespace

const TClassInfo& TMyProgressBar::StaticClass() {
  static const TClassInfo info = DefineClass<TMyProgressBar>("TMyProgressBar", [](TClassBuilder<TMyProgressBar>& c) {
    // Max comes first, so that a stored Position is clamped against the stored Max.
    c.Int("Max", &TMyProgressBar::Max, &TMyProgressBar::SetMax, 0)
        .Int("Position", &TMyProgressBar::Position, &TMyProgressBar::SetPosition, 0);
  });
  return info;
}

TMyProgressBar::TMyProgressBar(TComponent* owner) : TPanel(owner) {
  SetBevelOuter(bvLowered);
  SetPosition(0);
}

TMyProgressBar::~TMyProgressBar() = default;

void TMyProgressBar::SetPosition(int value) {
  if (value < 0) return;
  if (value > max_) value = max_;
  if (value == position_) return;
  position_ = value;
  Invalidate();
}

void TMyProgressBar::SetMax(int value) {
  if (value <= 0 || value == max_) return;
  if (value < position_) position_ = value;
  max_ = value;
  Invalidate();
}

std::string TMyProgressBar::ProgressText() const {
  if (position_ >= max_) return kEndText;
  return IntToStr(int64_t{max_} - position_) + kUnitText;
}

void TMyProgressBar::Paint() {
  TCanvas& canvas = *Canvas();
  const RECT client = ClientRect();
  RECT inner = client;
  TColor top, bottom;
  if (BevelOuter() != bvNone) {
    AdjustColors(BevelOuter(), top, bottom);
    Frame3D(canvas, inner, top, bottom, BevelWidth());
  }
  Frame3D(canvas, inner, Color(), Color(), BorderWidth());
  if (BevelInner() != bvNone) {
    AdjustColors(BevelInner(), top, bottom);
    Frame3D(canvas, inner, top, bottom, BevelWidth());
  }

  // The well starts one bevel and the border in, even when an inner bevel is
  // drawn too. Products of up to 2^31 × 100 need 64 bits.
  const int64_t d = int64_t{BorderWidth()} + BevelWidth();
  const int64_t percent = int64_t{position_} * 100 / max_;
  const int64_t doneRight = inner.left + (int64_t{inner.right} - inner.left) * percent / 100;
  RECT done{static_cast<int>(client.left + d), static_cast<int>(client.top + d), static_cast<int>(doneRight),
            static_cast<int>(client.bottom - d)};
  canvas.Brush()->SetStyle(bsSolid);
  if (done.right > done.left && done.bottom > done.top) {
    canvas.Brush()->SetColor(kDoneColor);
    canvas.FillRect(done);
  }
  RECT left{done.right, done.top, static_cast<int>(inner.right - d), done.bottom};
  if (left.right > left.left && left.bottom > left.top) {
    canvas.Brush()->SetColor(kLeftColor);
    canvas.FillRect(left);
  }

  canvas.Brush()->SetStyle(bsClear);
  canvas.Font()->Assign(Font());
  canvas.Font()->SetColor(kTextColor);
  const int lineHeight = canvas.TextHeight("W");
  RECT text{inner.left, (inner.top + inner.bottom - lineHeight) / 2, inner.right, 0};
  text.bottom = text.top + lineHeight;
  const std::string caption = ProgressText();
  DrawTextA(canvas.Handle(), caption.c_str(), -1, &text, DrawTextBiDiModeFlags(DT_CENTER));
}

void Myprogressbar::Register() { RegisterComponents("Samples", {&TMyProgressBar::StaticClass()}); }
