#pragma once
// A picture holds one graphic of any registered kind (bitmap, icon, JPEG image)
// and streams it with its class name, so a form description can carry it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Bitmaps.h"
#include "Icons.h"
#include "Jpeg.h"

class TPicture : public TPersistent {
  ZX_CLASS(TPicture, TPersistent)
 public:
  TPicture();
  ~TPicture() override;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // The graphic, or null for an empty picture. The picture owns it.
  TGraphic* Graphic() const { return graphic_.get(); }
  // Takes a copy of the graphic (null empties the picture).
  void SetGraphic(const TGraphic* graphic);
  // The graphic as a bitmap or icon; a graphic of another kind is replaced by an
  // empty one of the asked kind first.
  TBitmap* Bitmap();
  void SetBitmap(const TBitmap* value) { SetGraphic(value); }
  TIcon* Icon();
  void SetIcon(const TIcon* value) { SetGraphic(value); }

  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }

  // By extension: .bmp, .ico, .jpg/.jpeg/.jpe/.jfif.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;

  // Another picture or any graphic is copied; null empties.
  void Assign(const TPersistent* source) override;

  // The "Data" property: a length byte and the graphic's class name, then the
  // graphic's file; empty for an empty picture.
  std::vector<uint8_t> Data() const;
  void SetData(const std::vector<uint8_t>& data);

  // Raised after every change of the graphic, its own changes included.
  TNotifyEvent OnChange;

  // Graphic kinds known by class name and file extension (lower case, with dot).
  using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;
  static void RegisterFileFormat(const std::string& extension, const std::string& className, TGraphicFactory factory);

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  void SetOwned(std::unique_ptr<TGraphic> graphic);
  void GraphicChanged(TObject*);
  void Changed();

  std::unique_ptr<TGraphic> graphic_;
};
