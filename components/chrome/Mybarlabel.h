#pragma once
// A title-bar label: a left press on its text drags the parent window, as a
// press on a system caption would.

#include "Label.h"

class MyBarLabel : public TLabel {
  ZX_CLASS(MyBarLabel, TLabel)
 public:
  explicit MyBarLabel(TComponent* owner);
  ~MyBarLabel() override;

  void Dispatch(TMessage& message) override;

 protected:
  void LButtonDown(TMessage& m);
};

namespace Mybarlabel {
// Puts MyBarLabel on the component palette page "Samples".
void Register();
}  // namespace Mybarlabel
