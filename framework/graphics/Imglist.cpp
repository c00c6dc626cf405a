#include "Imglist.h"

#include <algorithm>
#include <cstring>

namespace {

// A 32-bit bitmap whose every byte is zero: transparent black.
void MakeClear(TBitmap& bitmap, int width, int height) {
  bitmap.Assign(nullptr);
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(width, height);
  if (!bitmap.Empty())
    std::memset(bitmap.ScanLine(height - 1), 0, static_cast<size_t>(bitmap.RowBytes()) * static_cast<size_t>(height));
}

// Copies `width` pixels of every row from one 32-bit bitmap to another of the same height.
void CopyColumns(const TBitmap& src, int srcX, TBitmap& dst, int dstX, int width) {
  int rows = std::min(src.Height(), dst.Height());
  for (int y = 0; y < rows; ++y)
    std::memcpy(dst.ScanLine(y) + 4 * dstX, src.ScanLine(y) + 4 * srcX, 4 * static_cast<size_t>(width));
}

bool HasAlpha(const TBitmap& bitmap) {
  if (bitmap.PixelFormat() != pf32bit) return false;
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* p = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x)
      if (p[4 * x + 3] != 0) return true;
  }
  return false;
}

// Image rows are kept with transparent pixels all zero, so that drawing by mask
// (which ORs the image over the cleared background) shows nothing there.
void SetPixel(uint8_t* p, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  if (a == 0) b = g = r = 0;
  p[0] = b;
  p[1] = g;
  p[2] = r;
  p[3] = a;
}

// Known to the form reader by name even where no form publishes a field of this class.
[[maybe_unused]] const bool kImageListRegistered = (RegisterClassInfo(TImageList::StaticClass()), true);

}  // namespace

const TClassInfo& TImageList::StaticClass() {
  static const TClassInfo info = DefineClass<TImageList>("TImageList", [](TClassBuilder<TImageList>& c) {
    c.Int("Height", &TImageList::Height, &TImageList::SetHeight, 16);
    c.Int("Width", &TImageList::Width, &TImageList::SetWidth, 16);
    c.Bin("Bitmap", &TImageList::BitmapData, &TImageList::SetBitmapData);
  });
  return info;
}

TImageList::TImageList(TComponent* owner) : TComponent(owner) {
  images_.SetPixelFormat(pf32bit);
  // Made at once, so that a list read from a form has its handle like any other.
  handle_.reset(ImageList_Create(width_, height_, ILC_COLOR32 | ILC_MASK, 4, 4));
}

TImageList::~TImageList() = default;

void TImageList::Changed() {
  if (OnChange) OnChange(this);
}

void TImageList::SetWidth(int value) {
  if (value < 1 || value == width_) return;
  Resize(value, height_);
}

void TImageList::SetHeight(int value) {
  if (value < 1 || value == height_) return;
  Resize(width_, value);
}

void TImageList::Resize(int width, int height) {
  Clear();
  width_ = width;
  height_ = height;
  // The system list empties itself when its size changes.
  if (handle_) ImageList_SetIconSize(handle_.get(), width_, height_);
  Changed();
}

HIMAGELIST TImageList::Handle() {
  if (!handle_) {
    handle_.reset(ImageList_Create(width_, height_, ILC_COLOR32 | ILC_MASK, std::max(count_, 4), 4));
    if (!handle_) throw EOutOfResources("Out of system resources");
    if (count_ > 0) AddToHandle(images_);
  }
  return handle_.get();
}

void TImageList::MaskOf(const TBitmap& strip, TBitmap& mask) {
  mask.Assign(nullptr);
  mask.SetPixelFormat(pf1bit);
  mask.SetSize(strip.Width(), strip.Height());
  for (int y = 0; y < strip.Height(); ++y) {
    const uint8_t* src = strip.ScanLine(y);
    uint8_t* dst = mask.ScanLine(y);
    std::memset(dst, 0, static_cast<size_t>(mask.RowBytes()));
    for (int x = 0; x < strip.Width(); ++x)
      if (src[4 * x + 3] == 0) dst[x / 8] = static_cast<uint8_t>(dst[x / 8] | (0x80 >> (x % 8)));
  }
}

void TImageList::AddToHandle(const TBitmap& strip) {
  TBitmap mask;
  MaskOf(strip, mask);
  ImageList_Add(handle_.get(), strip.Handle(), mask.Handle());
}

int TImageList::AppendStrip(const TBitmap& strip, int images) {
  int first = count_;
  TBitmap all;
  MakeClear(all, (count_ + images) * width_, height_);
  if (count_ > 0) CopyColumns(images_, 0, all, 0, count_ * width_);
  CopyColumns(strip, 0, all, count_ * width_, images * width_);
  images_.Assign(&all);
  count_ += images;
  if (handle_) AddToHandle(strip);
  Changed();
  return first;
}

int TImageList::Add(const TBitmap* image, const TBitmap* mask) {
  if (!image || image->Empty()) return -1;
  int images = image->Width() / width_;
  if (images <= 0) return -1;
  TBitmap src;
  src.Assign(image);
  src.SetPixelFormat(pf32bit);
  bool alpha = HasAlpha(src);
  TBitmap m;
  if (mask && !mask->Empty()) {
    m.Assign(mask);
    m.SetPixelFormat(pf32bit);
  }
  TBitmap strip;
  MakeClear(strip, images * width_, height_);
  int rows = std::min(height_, src.Height());
  for (int y = 0; y < rows; ++y) {
    const uint8_t* s = src.ScanLine(y);
    const uint8_t* k = !m.Empty() && y < m.Height() ? m.ScanLine(y) : nullptr;
    uint8_t* d = strip.ScanLine(y);
    for (int x = 0; x < images * width_; ++x) {
      bool transparent = k && x < m.Width() && (k[4 * x] | k[4 * x + 1] | k[4 * x + 2]) != 0;
      uint8_t a = transparent ? 0 : alpha ? s[4 * x + 3] : 255;
      SetPixel(d + 4 * x, s[4 * x], s[4 * x + 1], s[4 * x + 2], a);
    }
  }
  return AppendStrip(strip, images);
}

int TImageList::AddMasked(const TBitmap* image, TColor maskColor) {
  if (!image || image->Empty()) return -1;
  TColor key = ColorRef(maskColor == clDefault ? image->TransparentColor() : maskColor);
  TBitmap src;
  src.Assign(image);
  src.SetPixelFormat(pf32bit);
  // The mask: white where the image has the key colour.
  TBitmap mask;
  MakeClear(mask, src.Width(), src.Height());
  for (int y = 0; y < src.Height(); ++y) {
    const uint8_t* s = src.ScanLine(y);
    uint8_t* d = mask.ScanLine(y);
    for (int x = 0; x < src.Width(); ++x)
      if (RGB(s[4 * x + 2], s[4 * x + 1], s[4 * x]) == key) std::memset(d + 4 * x, 0xFF, 3);
  }
  return Add(&src, &mask);
}

void TImageList::Delete(int index) {
  if (index < 0 || index >= count_) throw EInvalidOperation("Invalid image list index");
  TBitmap rest;
  MakeClear(rest, (count_ - 1) * width_, height_);
  if (index > 0) CopyColumns(images_, 0, rest, 0, index * width_);
  if (index < count_ - 1) CopyColumns(images_, (index + 1) * width_, rest, index * width_, (count_ - 1 - index) * width_);
  images_.Assign(&rest);
  --count_;
  if (handle_) ImageList_Remove(handle_.get(), index);
  Changed();
}

void TImageList::Clear() {
  if (count_ == 0) return;
  MakeClear(images_, 0, 0);
  count_ = 0;
  if (handle_) ImageList_RemoveAll(handle_.get());
  Changed();
}

void TImageList::CopyImage(int index, TBitmap& out) const {
  MakeClear(out, width_, height_);
  CopyColumns(images_, index * width_, out, 0, width_);
}

void TImageList::GetBitmap(int index, TBitmap* image) {
  if (!image) return;
  image->SetPixelFormat(pf32bit);
  image->SetSize(width_, height_);
  if (index < 0 || index >= count_) return;
  TBitmap src;
  CopyImage(index, src);
  for (int y = 0; y < height_; ++y) {
    const uint8_t* s = src.ScanLine(y);
    uint8_t* d = image->ScanLine(y);
    for (int x = 0; x < width_; ++x) {
      unsigned a = s[4 * x + 3];
      for (int c = 0; c < 3; ++c)
        d[4 * x + c] = static_cast<uint8_t>((s[4 * x + c] * a + d[4 * x + c] * (255 - a) + 127) / 255);
    }
  }
}

void TImageList::GetIcon(int index, TIcon* icon) {
  if (!icon) return;
  if (index < 0 || index >= count_) {
    icon->SetHandle(nullptr);
    return;
  }
  TBitmap color, mask;
  CopyImage(index, color);
  MaskOf(color, mask);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = mask.Handle();
  info.hbmColor = color.Handle();
  HICON h = CreateIconIndirect(&info);
  if (!h) throw EOutOfResources("Out of system resources");
  icon->SetHandle(h);
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  if (!canvas || index < 0 || index >= count_) return;
  TBitmap src;
  CopyImage(index, src);
  // AlphaBlend takes premultiplied colours.
  auto blend = [&](TBitmap& layer, int dx, int dy) {
    HDC dc = canvas->Handle();
    Gdi::MemoryDc layerDc(layer.Handle());
    BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, dx, dy, width_, height_, layerDc.get(), 0, 0, width_, height_, bf);
  };
  if (enabled) {
    for (int row = 0; row < height_; ++row) {
      uint8_t* p = src.ScanLine(row);
      for (int col = 0; col < width_; ++col, p += 4)
        for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * p[3] + 127) / 255);
    }
    blend(src, x, y);
    return;
  }
  // Disabled: the opaque dark parts of the image, once in the highlight colour one
  // pixel down and right, then in the shadow colour on top: an engraved look.
  auto silhouette = [&](TColor color, TBitmap& out) {
    COLORREF rgb = ColorRef(color);
    MakeClear(out, width_, height_);
    for (int row = 0; row < height_; ++row) {
      const uint8_t* s = src.ScanLine(row);
      uint8_t* d = out.ScanLine(row);
      for (int col = 0; col < width_; ++col) {
        const uint8_t* p = s + 4 * col;
        int luma = (p[2] * 30 + p[1] * 59 + p[0] * 11) / 100;
        if (p[3] >= 128 && luma < 192)
          SetPixel(d + 4 * col, GetBValue(rgb), GetGValue(rgb), GetRValue(rgb), 255);
      }
    }
  };
  TBitmap light, dark;
  silhouette(clBtnHighlight, light);
  silhouette(clBtnShadow, dark);
  blend(light, x + 1, y + 1);
  blend(dark, x, y);
}

std::vector<uint8_t> TImageList::BitmapData() const {
  if (count_ == 0) return {};
  return images_.SaveToData();
}

void TImageList::SetBitmapData(const std::vector<uint8_t>& data) {
  // While a form is read the sizes may come after the strip: split it in Loaded.
  if (ComponentState().Contains(csLoading)) {
    pending_ = data;
    hasPending_ = true;
    return;
  }
  ApplyStrip(data);
}

void TImageList::ApplyStrip(const std::vector<uint8_t>& data) {
  TBitmap strip;
  strip.LoadFromData(data);
  Clear();
  if (strip.Empty()) return;
  strip.SetPixelFormat(pf32bit);
  int images = strip.Width() / width_;
  if (images <= 0) return;
  bool alpha = HasAlpha(strip);
  TBitmap normal;
  MakeClear(normal, images * width_, height_);
  int rows = std::min(height_, strip.Height());
  for (int y = 0; y < rows; ++y) {
    const uint8_t* s = strip.ScanLine(y);
    uint8_t* d = normal.ScanLine(y);
    for (int x = 0; x < images * width_; ++x)
      SetPixel(d + 4 * x, s[4 * x], s[4 * x + 1], s[4 * x + 2], alpha ? s[4 * x + 3] : 255);
  }
  AppendStrip(normal, images);
}

void TImageList::Loaded() {
  TComponent::Loaded();
  if (hasPending_) {
    hasPending_ = false;
    std::vector<uint8_t> data = std::move(pending_);
    pending_.clear();
    ApplyStrip(data);
  }
}
