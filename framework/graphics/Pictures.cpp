#include "Pictures.h"

#include <algorithm>
#include <map>

namespace {

struct FileFormat {
  std::string className;
  TPicture::TGraphicFactory create;
};

struct Formats {
  std::map<std::string, FileFormat> byExtension;
  std::map<std::string, TPicture::TGraphicFactory> byClass;
};

Formats& KnownFormats() {
  static Formats formats = [] {
    Formats f;
    auto add = [&f](const char* ext, const char* cls, TPicture::TGraphicFactory make) {
      f.byExtension[ext] = FileFormat{cls, make};
      f.byClass[cls] = make;
    };
    add(".bmp", "TBitmap", [] { return std::unique_ptr<TGraphic>(new TBitmap); });
    add(".ico", "TIcon", [] { return std::unique_ptr<TGraphic>(new TIcon); });
    for (const char* ext : {".jpg", ".jpeg", ".jpe", ".jfif"})
      add(ext, "TJPEGImage", [] { return std::unique_ptr<TGraphic>(new TJPEGImage); });
    return f;
  }();
  return formats;
}

std::string ExtensionOf(const std::string& fileName) {
  size_t dot = fileName.find_last_of('.');
  size_t slash = fileName.find_last_of("\\/:");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = fileName.substr(dot);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return ext;
}

// A fresh graphic of the same class as `graphic`.
std::unique_ptr<TGraphic> SameKind(const TGraphic& graphic) {
  auto& byClass = KnownFormats().byClass;
  auto it = byClass.find(graphic.ClassName());
  if (it == byClass.end()) throw EInvalidGraphic(Format("Unknown picture class %s", graphic.ClassName().c_str()));
  return it->second();
}

}  // namespace

const TClassInfo& TPicture::StaticClass() {
  static const TClassInfo info = DefineClass<TPicture>("TPicture", [](TClassBuilder<TPicture>& c) {
    c.Bin("Data", &TPicture::Data, &TPicture::SetData);
  });
  return info;
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& className,
                                  TGraphicFactory factory) {
  auto& f = KnownFormats();
  f.byExtension[extension] = FileFormat{className, factory};
  f.byClass[className] = factory;
}

TPicture::TPicture() = default;

TPicture::~TPicture() = default;

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::GraphicChanged(TObject*) { Changed(); }

void TPicture::SetOwned(std::unique_ptr<TGraphic> graphic) {
  if (graphic) graphic->OnChange = TNotifyEvent(this, &TPicture::GraphicChanged);
  graphic_ = std::move(graphic);
  Changed();
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  if (graphic == graphic_.get()) return;
  if (!graphic) {
    SetOwned(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy = SameKind(*graphic);
  copy->Assign(graphic);
  SetOwned(std::move(copy));
}

TBitmap* TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(graphic_.get())) SetOwned(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(graphic_.get());
}

TIcon* TPicture::Icon() {
  if (!dynamic_cast<TIcon*>(graphic_.get())) SetOwned(std::make_unique<TIcon>());
  return static_cast<TIcon*>(graphic_.get());
}

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string ext = ExtensionOf(fileName);
  auto& byExtension = KnownFormats().byExtension;
  auto it = byExtension.find(ext);
  if (it == byExtension.end()) throw EInvalidGraphic(Format("Unknown picture file extension (%s)", ext.c_str()));
  std::unique_ptr<TGraphic> graphic = it->second.create();
  graphic->LoadFromFile(fileName);
  SetOwned(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName) const {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::Assign(const TPersistent* source) {
  if (source == this) return;
  if (!source) return SetGraphic(nullptr);
  if (const auto* picture = dynamic_cast<const TPicture*>(source)) return SetGraphic(picture->graphic_.get());
  if (const auto* graphic = dynamic_cast<const TGraphic*>(source)) return SetGraphic(graphic);
  TPersistent::Assign(source);
}

void TPicture::AssignTo(TPersistent* dest) const {
  // A picture copies into a graphic of the kind it holds (a picture of a bitmap into a bitmap).
  if (graphic_ && dynamic_cast<TGraphic*>(dest)) return dest->Assign(graphic_.get());
  TPersistent::AssignTo(dest);
}

std::vector<uint8_t> TPicture::Data() const {
  std::vector<uint8_t> out;
  if (!graphic_) return out;
  const std::string& name = graphic_->ClassName();
  out.push_back(static_cast<uint8_t>(name.size()));
  out.insert(out.end(), name.begin(), name.end());
  std::vector<uint8_t> file = graphic_->SaveToData();
  out.insert(out.end(), file.begin(), file.end());
  return out;
}

void TPicture::SetData(const std::vector<uint8_t>& data) {
  if (data.empty()) return SetGraphic(nullptr);
  size_t n = data[0];
  if (n == 0 || data.size() < 1 + n) throw EInvalidGraphic("Picture data is not valid");
  std::string name(data.begin() + 1, data.begin() + 1 + static_cast<ptrdiff_t>(n));
  auto& byClass = KnownFormats().byClass;
  auto it = byClass.find(name);
  if (it == byClass.end()) throw EClassNotFound(Format("Class %s not found", name.c_str()));
  std::unique_ptr<TGraphic> graphic = it->second();
  graphic->LoadFromData(std::span<const uint8_t>(data).subspan(1 + n));
  SetOwned(std::move(graphic));
}
