#pragma once
// A picture control for a painted title bar: it keeps an active and an inactive
// picture to switch between, fires its press, release and click events at once
// on a left press, and can let that press drag its parent window.

#include <memory>

#include "Image.h"

class TMyImage : public TImage {
  ZX_CLASS(TMyImage, TImage)
 public:
  explicit TMyImage(TComponent* owner);
  ~TMyImage() override;

  void Dispatch(TMessage& message) override;

  // Copies of the caller's pictures; setting them does not change the shown one.
  TPicture* ActivePic() const { return activePic_.get(); }
  void SetActPicture(const TPicture* value);
  TPicture* InActivePic() const { return inActivePic_.get(); }
  void SetInActPicture(const TPicture* value);
  // A left press on the picture starts moving the parent window.
  bool EnableDrop = false;

  // Shows the active or the inactive picture; only a change of state copies one.
  void SetPic(bool active);
  bool Active() const { return active_; }

 protected:
  void LButtonDown(TMessage& m);

 private:
  std::unique_ptr<TPicture> activePic_;
  std::unique_ptr<TPicture> inActivePic_;
  bool active_ = false;
};

namespace Myimage {
// Puts TMyImage on the component palette page "Samples".
void Register();
}  // namespace Myimage
