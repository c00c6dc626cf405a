#pragma once
// A label that behaves like a link: the hand cursor, and its text in one colour
// while the mouse is over it and in another otherwise. Clicks reach the owner
// through the label's OnClick.

#include "Label.h"

class THyperLabel : public TLabel {
  ZX_CLASS(THyperLabel, TLabel)
 public:
  explicit THyperLabel(TComponent* owner);
  ~THyperLabel() override;

  void Dispatch(TMessage& message) override;

  // The text colour outside; setting it shows it at once, even while the
  // mouse is over the label, and overrides a font colour read before it.
  TColor ColorLeave() const { return colorLeave_; }
  void SetColorLeaveLabel(TColor value);
  // The text colour while the mouse is over the label, shown from the next entry.
  TColor ColorEnter = clBlack;

 protected:
  void CMMouseEnter(TMessage& m);
  void CMMouseLeave(TMessage& m);

 private:
  TColor colorLeave_ = clBlack;
};

namespace Hyperlabel {
// Puts THyperLabel on the component palette page "Quorb Hyper Controls".
void Register();
}  // namespace Hyperlabel
