#pragma once
// A panel painted as a horizontal progress bar: a framed well whose left part,
// Position out of Max, is red and whose rest is navy, with a white text over
// it that tells how much is left. The panel's own caption is never drawn.

#include <string>

#include "Panel.h"

class TMyProgressBar : public TPanel {
  ZX_CLASS(TMyProgressBar, TPanel)
 public:
  explicit TMyProgressBar(TComponent* owner);
  ~TMyProgressBar() override;

  // Full scale, at least 1; a smaller value is ignored. Lowering it below
  // Position lowers Position with it.
  int Max() const { return max_; }
  void SetMax(int value);
  // 0 to Max: a negative value is ignored, a larger one stops at Max.
  int Position() const { return position_; }
  void SetPosition(int value);

  // The text over the bar: what is left followed by the unit text, or the end
  // text once Position has reached Max.
  std::string ProgressText() const;

 protected:
  void Paint() override;

 private:
  int max_ = 100;
  int position_ = 0;
};

namespace Myprogressbar {
// Puts TMyProgressBar on the component palette page "Samples".
void Register();
}  // namespace Myprogressbar
