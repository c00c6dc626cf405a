#pragma once
// An embossed label: the caption drawn twice, a shadow copy moved down and
// right by Deep pixels and the text on top, with an optional one-pixel border,
// and two kinds of blinking (the text vanishes and returns, or it alternates
// between two colours) driven by a timer of its own.

#include <string>
#include <vector>

#include "Label.h"
#include "Timer.h"

enum TVexloBorder { boNone, boSingle, boRaised, boLowered };
extern const std::vector<std::string> VexloBorderNames;
enum TVexloBlink { blNone, blBlink, blHiLo };
extern const std::vector<std::string> VexloBlinkNames;

class TVexloLabel : public TLabel {
  ZX_CLASS(TVexloLabel, TLabel)
 public:
  explicit TVexloLabel(TComponent* owner);
  ~TVexloLabel() override;

  TColor HiColor() const { return hiColor_; }
  void SetHiColor(TColor value);
  TColor LoColor() const { return loColor_; }
  void SetLoColor(TColor value);
  TColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor value);
  TVexloBorder Border() const { return border_; }
  void SetBorder(TVexloBorder value);
  // Draw the shadow copy.
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool value);
  // Shadow offset in pixels: only 1 and 2 are taken.
  int Deep() const { return deep_; }
  void SetDeep(int value);
  int BlinkInterval() const { return blinkInterval_; }
  void SetInterval(int value);
  TVexloBlink Blink() const { return blink_; }
  void SetBlink(TVexloBlink mode);

  TTimer* BlinkTimer() const { return timer_; }
  // One blink step, as each tick of the timer runs it.
  void FTimerOnTimer(TObject* sender);

 protected:
  void Paint() override;

 private:
  TTimer* timer_ = nullptr;  // owned as a component of the label
  TColor hiColor_ = clBlue;
  TColor loColor_ = clNavy;
  TColor savedColor_ = clBlack;
  bool ctl3D_ = true;
  uint8_t deep_ = 1;
  TVexloBorder border_ = boNone;
  int blinkInterval_ = 300;
  TVexloBlink blink_ = blNone;
  TColor shadowColor_ = clBtnHighlight;
};

namespace Vexlolabel {
// Puts TVexloLabel on the component palette page "Vexlo".
void Register();
}  // namespace Vexlolabel
